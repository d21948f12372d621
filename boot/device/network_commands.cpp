// Placeholder until the network download rows land.
#include "device/boot.h"

Status Boot::NetConfig() { return Status::Ok(); }

Status Boot::TranslateNetworkDownload(int, char**, std::optional<std::string>* line) {
  line->reset();
  return Status::Ok();
}

Status Boot::TranslateBootp(int, char**, std::optional<std::string>* line) {
  line->reset();
  return Status::Ok();
}
