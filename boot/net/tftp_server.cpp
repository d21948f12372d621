#include "net/tftp_server.h"

#include <limits.h>
#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <sstream>

#include "net/tftp_packet.h"
#include "net/tftp_transfer.h"
#include "net/thread.h"
#include "net/udp_socket.h"

// What the server thread works on; shared between tftpd_param and the thread.
struct TftpServerState {
  std::unique_ptr<UdpListener> listener;
  std::atomic<bool> stop{false};
};

namespace {

// The stop request is looked at this often while the server is idle.
constexpr int kStopPollMilliseconds = 200;
// A request datagram is read into this many bytes; longer ones are cut.
constexpr size_t kRequestBufferSize = 516;

std::mutex registry_mutex;
std::set<std::string>& Registry() {
  static std::set<std::string> names;
  return names;
}

// Ends the process from the server thread: whatever the main thread is doing,
// the run has failed. Standard output is flushed first so the lines before
// the failure reach the front end.
[[noreturn]] void EndProcess(const std::string& stderr_text) {
  std::fflush(stdout);
  std::fputs(stderr_text.c_str(), stderr);
  std::fflush(stderr);
  _exit(1);
}

[[noreturn]] void diep(const char* what, int error) {
  EndProcess(StringPrintf("%s: %s\n", what, ErrnoText(error).c_str()));
}

[[noreturn]] void TimeoutExit() {
  std::fputs("timeout exit\n", stdout);
  EndProcess("");
}

void PrintLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

// Whether `name`, a relative path, stays below the directory it starts in
// when read word by word ("a/../b" does, "../b" and "a/../../b" do not).
bool StaysInside(const std::string& name) {
  int depth = 0;
  std::stringstream components(name);
  std::string component;
  while (std::getline(components, component, '/')) {
    if (component.empty() || component == ".") continue;
    depth += component == ".." ? -1 : 1;
    if (depth < 0) return false;
  }
  return true;
}

// Whether the existing file `name` really lies in the working directory,
// symbolic links followed. A name that does not resolve (a missing file) is
// let through: opening it fails the same way.
bool ResolvesInside(const std::string& name) {
  char resolved[PATH_MAX];
  char directory[PATH_MAX];
  if (realpath(name.c_str(), resolved) == nullptr) return true;
  if (getcwd(directory, sizeof directory) == nullptr) return false;
  char resolved_directory[PATH_MAX];
  if (realpath(directory, resolved_directory) == nullptr) return false;
  std::string root = resolved_directory;
  std::string path = resolved;
  if (root == "/") return true;
  return path == root || path.compare(0, root.size() + 1, root + "/") == 0;
}

class Server {
 public:
  explicit Server(std::shared_ptr<TftpServerState> state) : state_(std::move(state)) {}

  int Run() {
    uint8_t datagram[kRequestBufferSize];
    while (!state_->stop.load()) {
      if (!state_->listener->WaitReadable(kStopPollMilliseconds)) continue;
      UdpPeer sender;
      UdpReceived received = state_->listener->ReceiveFrom(datagram, sizeof datagram, &sender);
      // A failed receive on the listening socket concerns no transfer: go on.
      if (received.kind != UdpReceived::Kind::kDatagram) continue;
      Handle(datagram, received.length, sender);
    }
    state_->listener.reset();
    return 0;
  }

 private:
  void Handle(const uint8_t* datagram, size_t length, const UdpPeer& sender) {
    TftpPacketPtr request(parse_buffer(datagram, length));
    const std::string from = sender.ToString();
    if (request->opcode != kTftpRrq && request->opcode != kTftpWrq) {
      PrintLine(
          StringPrintf("tftp: ignored a datagram from %s that is not a request\n", from.c_str()));
      return;
    }
    const char* mode = request->mode.c_str();
    int netascii = strcasecmp(mode, "netascii");
    int octet = strcasecmp(mode, "octet");
    if (netascii != 0 && octet != 0) {
      PrintLine(StringPrintf("%s==netascii?%d\n%s==octet?%d\n", mode, netascii, mode, octet));
      std::unique_ptr<UdpSocket> socket = OpenTransfer(sender);
      SendError(4, "invalid mode", socket.get(), false);
      PrintLine(StringPrintf("tftp: refused the request of %s for %s: invalid mode\n", from.c_str(),
                             request->file_name.c_str()));
      return;
    }
    if (request->opcode == kTftpWrq) return;  // the server takes no uploads

    const std::string& name = request->file_name;
    if (!tftp_may_serve(name)) {
      std::unique_ptr<UdpSocket> socket = OpenTransfer(sender);
      SendError(2, ErrnoText(EACCES).c_str(), socket.get(), false);
      PrintLine(StringPrintf("tftp: refused to serve %s to %s: not a file of this run\n",
                             name.c_str(), from.c_str()));
      return;
    }
    // A file this run named to the box is the box's download: its failure
    // ends the run. Other transfers only cost a line when they fail.
    const bool box_transfer = tftp_file_registered(name);
    request->block_size = std::clamp(request->block_size, kTftpMinBlockSize, kTftpMaxBlockSize);
    const std::string options = BlockSizeOption(request->block_size);

    std::unique_ptr<UdpSocket> socket = OpenTransfer(sender);
    TransferResult result =
        send_oack(options.data(), static_cast<uint32_t>(options.size()), socket.get());
    if (result.kind == TransferResult::Kind::kComplete) {
      result = send_file(*request, socket.get(), stdout);
    }
    switch (result.kind) {
      case TransferResult::Kind::kComplete:
      case TransferResult::Kind::kFileError:
        return;
      case TransferResult::Kind::kSendFailed:
        if (box_transfer) diep("error sendto()", result.error);
        PrintLine(StringPrintf("tftp: sending %s to %s failed: %s\n", name.c_str(), from.c_str(),
                               ErrnoText(result.error).c_str()));
        return;
      case TransferResult::Kind::kTimedOut:
        if (box_transfer) TimeoutExit();
        PrintLine(
            StringPrintf("tftp: gave up sending %s to %s: no reply\n", name.c_str(), from.c_str()));
        return;
    }
  }

  // The transfer socket for one request; closed when the request is done.
  std::unique_ptr<UdpSocket> OpenTransfer(const UdpPeer& peer) {
    std::unique_ptr<UdpSocket> socket;
    Status opened = OpenTransferSocket(peer, kTftpReplyTimeoutSeconds, &socket);
    if (!opened.ok()) EndProcess(opened.message());
    return socket;
  }

  void SendError(uint16_t code, const char* message, UdpSocket* socket, bool box_transfer) {
    int error = send_error(code, message, socket);
    if (error == 0) return;
    if (box_transfer) diep("error sendto()", error);
    PrintLine(StringPrintf("tftp: sending an error packet failed: %s\n", ErrnoText(error).c_str()));
  }

  std::shared_ptr<TftpServerState> state_;
};

bool IsNetworkWord(const std::string& word) {
  return word == "netdown" || word == "download" || word == "run" || word.rfind("boot", 0) == 0;
}

}  // namespace

int tftpd_thread(void* argument) {
  // The argument is a heap copy of the shared state pointer, handed over.
  auto* handed_over = static_cast<std::shared_ptr<TftpServerState>*>(argument);
  std::shared_ptr<TftpServerState> state = std::move(*handed_over);
  delete handed_over;
  return Server(std::move(state)).Run();
}

Status tftpd_start(tftpd_param* param) {
  param->stop = 0;
  std::unique_ptr<UdpListener> listener;
  Status opened = UdpListener::Open(static_cast<uint16_t>(param->port & 0xFFFF), &listener);
  if (!opened.ok()) return opened;
  param->port = listener->port();
  auto state = std::make_shared<TftpServerState>();
  state->listener = std::move(listener);
  param->server = state;
  param->thread = _CreateThread(tftpd_thread, new std::shared_ptr<TftpServerState>(state));
  return Status::Ok();
}

void tftpd_stop(tftpd_param* param) {
  param->stop = 1;
  if (param->server) param->server->stop.store(true);
  if (param->thread != nullptr) {
    WaitThreadEnd(param->thread, std::chrono::milliseconds(2000));
    ReleaseThread(param->thread);
    param->thread = nullptr;
  }
  param->server.reset();
}

Status StartTftpServer(tftpd_param* param, bool needed) {
  int32_t port = param->port;
  Status started = tftpd_start(param);
  if (started.ok() || needed) return started;
  std::string reason = started.message();
  while (!reason.empty() && reason.back() == '\n') reason.pop_back();
  PrintLine(StringPrintf(
      "Warning: no TFTP server on port %d (%s); this run has no network download and goes on.\n",
      port, reason.c_str()));
  return Status::Ok();
}

bool CommandsNeedTftpServer(const std::string& command_text) {
  std::stringstream commands(command_text);
  std::string command;
  while (std::getline(commands, command, ';')) {
    std::stringstream words_in(command);
    std::vector<std::string> words;
    std::string word;
    while (words_in >> word) {
      // Quotes and escapes do not change which command a word names.
      word.erase(std::remove_if(word.begin(), word.end(),
                                [](char c) { return c == '\'' || c == '"' || c == '\\'; }),
                 word.end());
      words.push_back(word);
      if (words.size() == 3) break;
    }
    if (words.empty()) continue;
    if (IsNetworkWord(words[0])) return true;
    if (words[0] == "load_conf_down" && words.size() >= 3 && IsNetworkWord(words[2])) return true;
  }
  return false;
}

void tftp_allow_file(const std::string& name) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  Registry().insert(name);
}

void tftp_forget_files() {
  std::lock_guard<std::mutex> lock(registry_mutex);
  Registry().clear();
}

bool tftp_file_registered(const std::string& name) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  return Registry().count(name) != 0;
}

bool tftp_may_serve(const std::string& name) {
  if (tftp_file_registered(name)) return true;
  if (name.empty() || name[0] == '/') return false;
  return StaysInside(name) && ResolvesInside(name);
}
