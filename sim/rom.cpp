#include "rom.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "coding.h"
#include "string_printf.h"

namespace {

constexpr uint8_t kHeadFrameByte = 0x59;  // "Y"
constexpr char kMarker[4] = {'b', 'o', 'o', 't'};
constexpr size_t kSniffBytes = 12;

}  // namespace

uint32_t HeadWordsFor(uint32_t length, uint8_t b0, uint8_t b1) {
  const uint32_t limit = (b0 == 0x11 && b1 == 0x32) ? 8192 : 4096;
  return std::min(length, limit) / 4;
}

Rom::Rom(const RomOptions& options, ByteSink& out, Transcript& log, Report report)
    : options_(options),
      out_(out),
      log_(log),
      report_(std::move(report)),
      forced_errors_left_(options.forced_error_passes) {}

size_t Rom::Feed(const uint8_t* data, size_t size) {
  size_t used = 0;
  while (used < size && state_ != State::kLoader) used += Step(data + used, size - used);
  return used;
}

bool Rom::WaitingInPass() const {
  switch (state_) {
    case State::kHeadWords:
    case State::kHead:
    case State::kTail:
    case State::kSniff:
    case State::kImage:
    case State::kPassUnknown:
      return true;
    default:
      return false;
  }
}

size_t Rom::Step(const uint8_t* data, size_t size) {
  switch (state_) {
    case State::kRequest: {
      const void* found = std::memchr(data, kHeadFrameByte, size);
      if (found == nullptr) {
        ignored_ += size;
        return size;
      }
      size_t skipped = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
      ignored_ += skipped;
      if (ignored_ > 0) {
        report_(StringPrintf("ignored %" PRIu64 " bytes before the head frame (0x59)", ignored_));
      }
      collect_.clear();
      state_ = State::kHeadWords;
      return skipped + 1;
    }
    case State::kHeadWords: {
      size_t used = Collect(data, size, 4);
      if (collect_.size() == 4) {
        words_ = DecodeFixed32(collect_.data());
        if (words_ == 0 || words_ > kMaxHeadWords) {
          report_(StringPrintf("head frame: %" PRIu32 " words announced; a head holds 1 to %" PRIu32
                               " words (at most 8192 bytes, ending in \"boot\")",
                               words_, kMaxHeadWords));
          Halt();
        } else {
          collect_.clear();
          state_ = State::kHead;
        }
      }
      return used;
    }
    case State::kHead: {
      size_t used = Collect(data, size, 4 * size_t{words_});
      if (collect_.size() == 4 * size_t{words_}) HeadComplete();
      return used;
    }
    case State::kTail: {
      size_t used = Collect(data, size, 8);
      if (collect_.size() == 8) TailComplete();
      return used;
    }
    case State::kSniff: {
      size_t used = Collect(data, size, kSniffBytes);
      if (collect_.size() == kSniffBytes) SniffComplete();
      return used;
    }
    case State::kImage:
      return TakeImage(data, size);
    case State::kPassUnknown:
      position_ += static_cast<uint32_t>(size);
      return size;
    case State::kHalted:
      return size;
    case State::kLoader:
      return 0;
  }
  return size;
}

size_t Rom::Collect(const uint8_t* data, size_t size, size_t want) {
  size_t take = std::min(size, want - collect_.size());
  collect_.insert(collect_.end(), data, data + take);
  return take;
}

void Rom::HeadComplete() {
  head_.swap(collect_);
  collect_.clear();
  const uint8_t* marker = &head_[head_.size() - 4];
  if (std::memcmp(marker, kMarker, 4) != 0) {
    report_(
        StringPrintf("head: its last 4 bytes are %02x %02x %02x %02x, not the marker \"boot\" "
                     "(does the head frame announce the head's true length?)",
                     marker[0], marker[1], marker[2], marker[3]));
    position_ = 0;
    SendGetOr(State::kPassUnknown);
    return;
  }
  switch (options_.variant) {
    case RomVariant::kA: {
      if (words_ < 3) {
        report_(
            StringPrintf("head: variant A needs at least 3 words (checksum, length, "
                         "marker), the head frame announced %" PRIu32,
                         words_));
        position_ = 0;
        SendGetOr(State::kPassUnknown);
        return;
      }
      uint32_t checksum = DecodeFixed32(&head_[head_.size() - 12]);
      uint32_t length = DecodeFixed32(&head_[head_.size() - 8]);
      log_.RomHead(words_, 'A', checksum, length);
      if (length > options_.max_image) {
        report_(StringPrintf("head: length %" PRIu32 " exceeds the ROM's limit of %" PRIu32
                             " bytes",
                             length, options_.max_image));
        position_ = 0;
        SendGetOr(State::kPassUnknown);
        return;
      }
      SendGetOr(State::kImage);
      if (state_ == State::kImage) StartImage('A', checksum, length);
      return;
    }
    case RomVariant::kB:
      SendGetOr(State::kTail);
      return;
    case RomVariant::kAuto:
      SendGetOr(State::kSniff);
      return;
  }
}

void Rom::TailComplete() {
  uint32_t checksum = DecodeFixed32(&collect_[0]);
  uint32_t length = DecodeFixed32(&collect_[4]);
  collect_.clear();
  log_.RomHead(words_, 'B', checksum, length);
  if (length > options_.max_image) {
    report_(StringPrintf("variant B: length %" PRIu32
                         " after GET exceeds the ROM's limit of %" PRIu32 " bytes",
                         length, options_.max_image));
    position_ = 0;
    state_ = State::kPassUnknown;
    return;
  }
  StartImage('B', checksum, length);
}

// The ROM of a real box knows its variant. Here the first 12 bytes after
// "GET" decide: as variant A they are image bytes 0..11, as variant B the
// checksum, the length and image bytes 0..3. Each reading is scored by the
// rules it can already be checked against; a reading that passes all of them
// wins (A first), otherwise the one whose length is usable, then the one that
// passes more. The whole pass is then checked against the chosen variant, so
// a wrong choice still ends in "E".
void Rom::SniffComplete() {
  std::vector<uint8_t> sniffed;
  sniffed.swap(collect_);
  const uint8_t* s = sniffed.data();

  int score_a = 0;
  const int rules_a = 4;
  uint32_t length_a = 0;
  uint32_t checksum_a = 0;
  if (words_ >= 3) {
    checksum_a = DecodeFixed32(&head_[head_.size() - 12]);
    length_a = DecodeFixed32(&head_[head_.size() - 8]);
    if (length_a >= kSniffBytes && length_a <= options_.max_image) score_a++;
    if (HeadWordsFor(length_a, s[0], s[1]) == words_) score_a++;
    if (s[2] != 0x01) score_a++;
    bool head_matches = true;
    for (uint32_t i = 4; i < kSniffBytes && i < 4 * words_ - 8; i++) {
      if (s[i] != head_[i - 4]) head_matches = false;
    }
    if (head_matches) score_a++;
  }

  int score_b = 0;
  const int rules_b = 3;
  const uint32_t checksum_b = DecodeFixed32(&s[0]);
  const uint32_t length_b = DecodeFixed32(&s[4]);
  if (length_b >= 4 && length_b <= options_.max_image) score_b++;
  if (HeadWordsFor(length_b, s[8], s[9]) == words_) score_b++;
  if (s[10] == 0x01) score_b++;

  bool choose_a;
  if (score_a == rules_a) {
    choose_a = true;
  } else if (score_b == rules_b) {
    choose_a = false;
  } else {
    // Neither fits: prefer the reading whose length can be used at all.
    const bool usable_a = words_ >= 3 && length_a >= kSniffBytes && length_a <= options_.max_image;
    const bool usable_b = length_b >= 4 && length_b <= options_.max_image;
    if (usable_a != usable_b) {
      choose_a = usable_a;
    } else {
      choose_a = words_ >= 3 && score_a >= score_b;
    }
    report_(StringPrintf("the bytes after GET fit neither variant; checking them as variant %c",
                         choose_a ? 'A' : 'B'));
  }

  if (choose_a) {
    log_.RomHead(words_, 'A', checksum_a, length_a);
    if (length_a < kSniffBytes || length_a > options_.max_image) {
      report_(StringPrintf("variant A: length %" PRIu32
                           " in the head is out of range (%zu to %" PRIu32 ")",
                           length_a, kSniffBytes, options_.max_image));
      position_ = static_cast<uint32_t>(kSniffBytes);
      state_ = State::kPassUnknown;
      return;
    }
    StartImage('A', checksum_a, length_a);
    TakeImage(s, kSniffBytes);
  } else {
    log_.RomHead(words_, 'B', checksum_b, length_b);
    if (length_b < 4 || length_b > options_.max_image) {
      report_(StringPrintf("variant B: length %" PRIu32 " after GET is out of range (4 to %" PRIu32
                           ")",
                           length_b, options_.max_image));
      position_ = static_cast<uint32_t>(kSniffBytes);
      state_ = State::kPassUnknown;
      return;
    }
    StartImage('B', checksum_b, length_b);
    TakeImage(s + 8, kSniffBytes - 8);
  }
}

void Rom::StartImage(char variant, uint32_t checksum, uint32_t length) {
  variant_ = variant;
  announced_checksum_ = checksum;
  length_ = length;
  head_image_end_ = variant == 'A' ? 4 * words_ - 8 : 4 * words_;
  position_ = 0;
  checksum_ = 0;
  std::memset(first_bytes_, 0, sizeof first_bytes_);
  head_mismatch_ = false;
  state_ = State::kImage;
  if (length_ == 0) FinishPass();
}

size_t Rom::TakeImage(const uint8_t* data, size_t size) {
  const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(size, length_ - position_));
  for (uint32_t i = 0; i < take; i++) checksum_ += data[i];
  for (uint32_t at = position_; at < 3 && at < position_ + take; at++) {
    first_bytes_[at] = data[at - position_];
  }
  // Image bytes 4 .. head_image_end_-1 travelled in the head already.
  if (!head_mismatch_) {
    uint32_t from = std::max<uint32_t>(position_, 4);
    uint32_t to = std::min(position_ + take, head_image_end_);
    for (uint32_t at = from; at < to; at++) {
      if (data[at - position_] != head_[at - 4]) {
        head_mismatch_ = true;
        mismatch_offset_ = at;
        mismatch_head_ = head_[at - 4];
        mismatch_image_ = data[at - position_];
        break;
      }
    }
  }
  position_ += take;
  if (position_ == length_) FinishPass();
  return take;
}

void Rom::FinishPass() {
  bool head_fault = false;
  bool pass_fault = false;
  const uint8_t b0 = length_ > 0 ? first_bytes_[0] : 0;
  const uint8_t b1 = length_ > 1 ? first_bytes_[1] : 0;
  const uint32_t expected_words = HeadWordsFor(length_, b0, b1);
  if (expected_words != words_) {
    uint32_t limit = (b0 == 0x11 && b1 == 0x32) ? 8192 : 4096;
    report_(StringPrintf("head frame: %" PRIu32 " words announced, but an image of %" PRIu32
                         " bytes beginning %02x %02x needs min(%" PRIu32 ", %" PRIu32
                         ") / 4 = %" PRIu32,
                         words_, length_, b0, b1, length_, limit, expected_words));
    head_fault = true;
  }
  const bool byte2_selects_b = length_ > 2 && first_bytes_[2] == 0x01;
  if (variant_ == 'A' && byte2_selects_b) {
    report_(
        "variant: image byte 2 is 0x01, which calls for variant B, but the upload used "
        "variant A");
    head_fault = true;
  } else if (variant_ == 'B' && !byte2_selects_b) {
    report_(
        StringPrintf("variant: image byte 2 is 0x%02x, not 0x01, which calls for variant A, "
                     "but the upload used variant B",
                     length_ > 2 ? first_bytes_[2] : 0));
    head_fault = true;
  }
  if (checksum_ != announced_checksum_) {
    report_(StringPrintf("checksum: 0x%08" PRIx32 " announced, but the %" PRIu32
                         " image bytes sum to 0x%08" PRIx32,
                         announced_checksum_, length_, checksum_));
    pass_fault = true;
  }
  if (head_mismatch_) {
    report_(StringPrintf("head: image byte %" PRIu32 " (0x%" PRIx32 ") is 0x%02x, but the head "
                         "carried 0x%02x for it",
                         mismatch_offset_, mismatch_offset_, mismatch_image_, mismatch_head_));
    pass_fault = true;
  }
  if (head_fault || pass_fault) {
    FailPass(head_fault);
    return;
  }
  failed_passes_ = 0;
  if (forced_errors_left_ > 0) {
    forced_errors_left_--;
    report_("image accepted, but answering E as configured (--rom-errors)");
    Verdict('E');
    StartImage(variant_, announced_checksum_, length_);
    return;
  }
  Verdict(options_.verdict);
  if (options_.verdict == 'E') {
    StartImage(variant_, announced_checksum_, length_);
  } else {
    state_ = State::kLoader;
  }
}

void Rom::FailPass(bool head_fault) {
  Verdict('E');
  failed_passes_++;
  if (head_fault) {
    report_("resending the image cannot mend the head; waiting for a reset");
    Halt();
  } else if (failed_passes_ >= kMaxFailedPasses) {
    report_(StringPrintf("%d passes failed in a row; waiting for a reset", failed_passes_));
    Halt();
  } else {
    StartImage(variant_, announced_checksum_, length_);
  }
}

void Rom::OnSilence() {
  switch (state_) {
    case State::kHeadWords:
      report_(StringPrintf("head frame: only %zu of its 4 length bytes arrived", collect_.size()));
      Halt();
      break;
    case State::kHead:
      report_(StringPrintf("head: only %zu of its %" PRIu32 " bytes arrived", collect_.size(),
                           4 * words_));
      Halt();
      break;
    case State::kTail:
    case State::kSniff:
      report_(StringPrintf("only %zu bytes arrived after GET", collect_.size()));
      Verdict('E');
      Halt();
      break;
    case State::kImage:
      report_(StringPrintf("image: the pass ended after %" PRIu32 " of %" PRIu32 " bytes",
                           position_, length_));
      FailPass(false);
      break;
    case State::kPassUnknown:
      report_(StringPrintf("%" PRIu32 " bytes arrived after GET; the head gave no usable length",
                           position_));
      Verdict('E');
      Halt();
      break;
    default:
      break;
  }
}

void Rom::SendGetOr(State next) {
  if (!options_.send_get) {
    report_("not answering GET (--no-get)");
    Halt();
    return;
  }
  out_.Write("GET");
  state_ = next;
}

void Rom::Verdict(uint8_t verdict) {
  out_.Write(&verdict, 1);
  log_.RomVerdict(verdict);
}

void Rom::Halt() {
  state_ = State::kHalted;
  collect_.clear();
}
