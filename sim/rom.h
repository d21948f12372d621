#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "byte_sink.h"
#include "transcript.h"

// Which upload framing the ROM expects (see doc/rom-upload.md). A real box
// knows its own; kAuto tells the two apart by the bytes that follow "GET".
enum class RomVariant { kAuto, kA, kB };

struct RomOptions {
  RomVariant variant = RomVariant::kAuto;
  // Answer "E" to this many good image passes before accepting one.
  int forced_error_passes = 0;
  // The verdict for a good pass ("O" on a healthy box).
  uint8_t verdict = 'O';
  // False: never answer "GET" (a box whose ROM ignores the head).
  bool send_get = true;
  // The largest image the ROM takes (the RAM that receives the loader).
  uint32_t max_image = 16u << 20;
};

// The box's boot ROM as a byte-level state machine: it receives the head
// frame, the head, (variant B: the checksum and length after "GET") and image
// passes, checks every framing rule as the bytes arrive and answers "GET" and
// a verdict byte through the sink. Every broken rule is handed to `report`
// as one line of text naming the rule; such a pass is answered "E".
//
// Not thread-safe; the owner feeds bytes and time in. Requests ("X") are
// timed by the owner: it sends one while WaitingForHeadFrame() holds.
class Rom {
 public:
  using Report = std::function<void(const std::string&)>;

  Rom(const RomOptions& options, ByteSink& out, Transcript& log, Report report);

  // Takes bytes from the tool and returns how many it consumed. Once the
  // loader has started, the rest of the bytes are the loader's, and it
  // returns fewer than `size`.
  size_t Feed(const uint8_t* data, size_t size);

  // The line has been silent for a while although the ROM expects more bytes
  // (WaitingInPass): the frame ended short, or its end was unknown. Ends the
  // current exchange with a report and, after "GET", an "E".
  void OnSilence();

  // No byte of a head frame yet: the ROM keeps requesting ("X").
  bool WaitingForHeadFrame() const { return state_ == State::kRequest; }
  // In the middle of a frame: silence now means the tool stopped short.
  bool WaitingInPass() const;
  // The image was accepted (any verdict but "E"); the loader runs.
  bool LoaderStarted() const { return state_ == State::kLoader; }
  // Gave up after a fault that resending cannot mend; silent until reset.
  bool Halted() const { return state_ == State::kHalted; }

  static constexpr uint32_t kMaxHeadWords = 8192 / 4;
  static constexpr int kMaxFailedPasses = 3;

 private:
  enum class State {
    kRequest,      // waiting for 0x59
    kHeadWords,    // the 4-byte head length in words
    kHead,         // 4W head bytes
    kTail,         // variant B: checksum and length after "GET"
    kSniff,        // auto: the first bytes after "GET", to tell the variants apart
    kImage,        // an image pass
    kPassUnknown,  // after a head whose framing could not be read: until silence
    kHalted,
    kLoader,
  };

  size_t Step(const uint8_t* data, size_t size);
  size_t Collect(const uint8_t* data, size_t size, size_t want);
  void HeadComplete();
  void TailComplete();
  void SniffComplete();
  void StartImage(char variant, uint32_t checksum, uint32_t length);
  size_t TakeImage(const uint8_t* data, size_t size);
  void FinishPass();
  void FailPass(bool head_fault);
  void SendGetOr(State next);
  void Verdict(uint8_t verdict);
  void Halt();

  RomOptions options_;
  ByteSink& out_;
  Transcript& log_;
  Report report_;

  State state_ = State::kRequest;
  uint64_t ignored_ = 0;          // bytes seen before the head frame
  std::vector<uint8_t> collect_;  // the current fixed-size frame being read
  uint32_t words_ = 0;            // W
  std::vector<uint8_t> head_;     // 4W bytes

  // The upload as announced.
  char variant_ = 0;
  uint32_t announced_checksum_ = 0;
  uint32_t length_ = 0;
  uint32_t head_image_end_ = 0;  // image bytes [4, end) travel in the head

  // The current pass.
  uint32_t position_ = 0;
  uint32_t checksum_ = 0;
  uint8_t first_bytes_[3] = {0, 0, 0};
  bool head_mismatch_ = false;
  uint32_t mismatch_offset_ = 0;
  uint8_t mismatch_head_ = 0;
  uint8_t mismatch_image_ = 0;

  int failed_passes_ = 0;
  int forced_errors_left_ = 0;
};

// W for an image of `length` bytes whose first two bytes are b0 b1: the head
// covers min(length, H) bytes, H being 8192 for images starting 11 32, else
// 4096.
uint32_t HeadWordsFor(uint32_t length, uint8_t b0, uint8_t b1);
