#include "net/host_address.h"

#include <cstring>

namespace {
char local_ip[32];
char stb_ip[32];

void CopyAddress(char* destination, const char* address) {
  std::strncpy(destination, address, 31);
  destination[31] = '\0';
}
}  // namespace

void save_local_ip(const char* address) { CopyAddress(local_ip, address); }
void save_stb_ip(const char* address) { CopyAddress(stb_ip, address); }

char* get_local_ip(char* out) {
  std::memcpy(out, local_ip, sizeof local_ip);
  return out;
}

char* get_stb_ip(char* out) {
  if (stb_ip[0] == '\0') return nullptr;
  std::memcpy(out, stb_ip, sizeof stb_ip);
  return out;
}
