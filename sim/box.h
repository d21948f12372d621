#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "byte_sink.h"
#include "file_fetcher.h"
#include "flash.h"
#include "rom.h"
#include "shell.h"
#include "transcript.h"

struct BoxOptions {
  RomOptions rom;
  ShellOptions shell;
};

// The whole box: after Reset (power-on) its boot ROM takes the upload, and
// once the ROM accepts an image the loader's shell takes every further byte.
// Not thread-safe; the memory, sink, transcript and fetcher outlive the box.
class Box {
 public:
  Box(const BoxOptions& options, BoxMemory& memory, ByteSink& out, Transcript& log,
      FileFetcher* network, Rom::Report report);

  // Power-on: back to the ROM, the loader and its settings forgotten. The
  // flash keeps its content.
  void Reset();
  void Feed(const uint8_t* data, size_t size);
  // The line has been silent for a while (see Rom::OnSilence).
  void OnSilence();

  // The ROM still requests an upload ("X").
  bool WaitingForHeadFrame() const { return !shell_ && rom_->WaitingForHeadFrame(); }
  // The ROM expects more bytes of a frame; silence is a fault it reports.
  bool WaitingInPass() const { return !shell_ && rom_->WaitingInPass(); }
  bool LoaderRunning() const { return shell_ != nullptr; }

 private:
  BoxOptions options_;
  BoxMemory& memory_;
  ByteSink& out_;
  Transcript& log_;
  FileFetcher* network_;
  Rom::Report report_;
  std::unique_ptr<Rom> rom_;
  std::unique_ptr<Shell> shell_;
};
