#include "box.h"

Box::Box(const BoxOptions& options, BoxMemory& memory, ByteSink& out, Transcript& log,
         FileFetcher* network, Rom::Report report)
    : options_(options),
      memory_(memory),
      out_(out),
      log_(log),
      network_(network),
      report_(std::move(report)) {
  Reset();
}

void Box::Reset() {
  shell_.reset();
  rom_ = std::make_unique<Rom>(options_.rom, out_, log_,
                               [this](const std::string& text) { report_("rom: " + text); });
}

void Box::Feed(const uint8_t* data, size_t size) {
  if (!shell_) {
    size_t used = rom_->Feed(data, size);
    if (!rom_->LoaderStarted()) return;
    shell_ =
        std::make_unique<Shell>(options_.shell, memory_, out_, log_, network_,
                                [this](const std::string& text) { report_("shell: " + text); });
    shell_->Start();
    data += used;
    size -= used;
  }
  if (size > 0) shell_->Feed(data, size);
}

void Box::OnSilence() {
  if (!shell_) rom_->OnSilence();
}
