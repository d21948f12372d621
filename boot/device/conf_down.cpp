// Placeholder until load_conf_down lands.
#include "device/boot.h"

Status Boot::TranslateLoadConfDown(int, char**, TransferMode*, std::optional<std::string>* line) {
  line->reset();
  return Status::Ok();
}
