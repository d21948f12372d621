// The network rows of the command translation (netdown, download, run and
// the boot words) and the loader's network configuration.
#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "device/boot.h"
#include "net/host_address.h"
#include "net/tftp_server.h"
#include "util/file_size.h"

namespace {

// The PC's address, or a failure when none was given: nothing during a run
// could set it later, so waiting for it would never end.
Status LocalAddress(char* address) {
  get_local_ip(address);
  if (address[0] == '\0') return Status::Error("Error: No found network.please check.\n");
  return Status::Ok();
}

// The box's address derived from the PC's: the last octet plus one, modulo
// 256, without carry (192.168.1.255 gives 192.168.1.0). Empty when the PC's
// address is not an IPv4 address.
std::string DeriveBoxAddress(const char* local) {
  in_addr address{};
  if (inet_aton(local, &address) == 0) return "";
  uint32_t host = ntohl(address.s_addr);
  host = (host & 0xFFFFFF00u) | ((host + 1) & 0xFFu);
  address.s_addr = htonl(host);
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

}  // namespace

Status Boot::NetConfig() {
  std::string address;
  char buffer[32] = "";
  if (get_stb_ip(buffer) != nullptr) {
    address = buffer;
  } else {
    get_local_ip(buffer);
    if (buffer[0] != '\0') address = DeriveBoxAddress(buffer);
    if (address.empty()) {
      std::printf("Warning: NetConfig get local ip failed. please check.\n");
    }
  }
  // Without any address there is nothing the loader could be told.
  if (address.empty()) return Status::Ok();
  Status configured = RunOneCommand(StringPrintf("config ip %s", address.c_str()), 1);
  if (!configured.ok()) return configured;
  return RunOneCommand(StringPrintf("config tftpport %d", tftpd.port), 1);
}

Status Boot::TranslateNetworkDownload(int argc, char** argv, std::optional<std::string>* line) {
  line->reset();
  if (argc < 3) return Status::Ok();
  Status configured = NetConfig();
  if (!configured.ok()) return configured;
  char local[32];
  Status known = LocalAddress(local);
  if (!known.ok()) return known;
  // A missing file is not checked here: the line carries the size -1 and the
  // server answers the box's request with ERROR 1.
  std::string text = StringPrintf("partition download %s %s \"%s\" %d", argv[1], local, argv[2],
                                  get_file_size(argv[2]));
  text += " ";
  text += argc == 3 ? "null" : argv[3];
  tftp_allow_file(argv[2]);
  *line = std::move(text);
  return Status::Ok();
}

Status Boot::TranslateBootp(int argc, char** argv, std::optional<std::string>* line) {
  line->reset();
  if (argc < 2) return Status::Ok();
  char local[32];
  Status known = LocalAddress(local);
  if (!known.ok()) return known;
  if (argc == 2) {
    *line = StringPrintf("bootp %s %s", local, argv[1]);
  } else {
    *line = StringPrintf("bootp %s %s %s", local, argv[1], argv[2]);
  }
  tftp_allow_file(argv[1]);
  return Status::Ok();
}
