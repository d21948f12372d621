#pragma once

// A transcript written into memory, for tests. Header-only.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "transcript.h"

class CapturedTranscript {
 public:
  CapturedTranscript() : stream_(open_memstream(&buffer_, &size_)) { transcript_.Attach(stream_); }
  ~CapturedTranscript() {
    std::fclose(stream_);
    std::free(buffer_);
  }
  Transcript& transcript() { return transcript_; }
  std::string text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  FILE* stream_;
  Transcript transcript_;
};
