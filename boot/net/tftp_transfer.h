#pragma once

// One read transfer of the TFTP server, over a socket connected to the client:
// the option acknowledgement, the lock-step DATA/ACK exchange with its
// time-outs and resends, and the error packets. Runs on the server thread.
// Messages go to `out` (standard output in the tool) and are flushed at once.

#include <cstdint>
#include <cstdio>
#include <string>

#include "net/tftp_packet.h"
#include "net/udp_socket.h"

// How often a block is sent again after its ACK did not come.
constexpr int kTftpResends = 8;
// Seconds that a transfer waits for each reply.
constexpr int kTftpReplyTimeoutSeconds = 5;

struct TransferResult {
  enum class Kind {
    kComplete,    // every block acknowledged
    kFileError,   // the file could not be opened or read: ERROR sent, line printed
    kTimedOut,    // the client stopped answering (after the resends for DATA)
    kSendFailed,  // the OACK or an ERROR could not be sent
  };
  Kind kind = Kind::kComplete;
  int error = 0;  // the error number for kSendFailed
};

// Sends ERROR `code` with `message`: 0, or the error number of the failed send.
int send_error(uint16_t code, const char* message, UdpSocket* socket);

// Sends an OACK carrying `length` option bytes and waits for any one reply
// (its content is not looked at): kComplete, kTimedOut or kSendFailed.
TransferResult send_oack(const char* options, uint32_t length, UdpSocket* socket);

// The OACK option bytes for a block size: "blksize", NUL, the decimal digits
// (no NUL after them).
std::string BlockSizeOption(int32_t block_size);

// Serves the read request `request` (file name, mode, block size already
// checked by the caller) from the file of that name. A file that cannot be
// opened or read gets ERROR 1, 2 or 100 + errno and the line
// "No Found file: %s\n"; a missing ACK is answered by up to kTftpResends
// resends, each announced with "retrying %d more times.\n".
TransferResult send_file(const tftp_packet_t& request, UdpSocket* socket, std::FILE* out);
