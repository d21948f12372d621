#include "rom.h"

#include <gtest/gtest.h>

#include <vector>

#include "string_printf.h"
#include "test_capture.h"
#include "test_upload.h"

namespace {

class RomTest : public ::testing::Test {
 protected:
  Rom& MakeRom(RomOptions options = {}) {
    rom_ = std::make_unique<Rom>(options, out_, log_.transcript(),
                                 [this](const std::string& text) { reports_.push_back(text); });
    return *rom_;
  }
  size_t Feed(const std::string& bytes) {
    return rom_->Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::string Reports() const {
    std::string all;
    for (const std::string& text : reports_) all += text + "\n";
    return all;
  }

  StringSink out_;
  CapturedTranscript log_;
  std::vector<std::string> reports_;
  std::unique_ptr<Rom> rom_;
};

struct GoodUpload {
  const char* name;
  std::string image;
  char variant;
  uint32_t words;
};

TEST_F(RomTest, AcceptsCorrectUploadsOfBothVariantsInEveryMode) {
  const std::vector<GoodUpload> uploads = {
      {"built-in size, variant A", TestImage(93570, 0x00), 'A', 1024},
      {"1000 bytes, variant A", TestImage(1000, 0x20), 'A', 250},
      {"12 bytes, variant A (smallest)", TestImage(12, 0x00), 'A', 3},
      {"5000 bytes from 11 32 01, variant B", TestImage(5000, 0x01, true), 'B', 1250},
      {"20000 bytes from 11 32 01, variant B", TestImage(20000, 0x01, true), 'B', 2048},
      {"4097 bytes, variant B", TestImage(4097, 0x01), 'B', 1024},
      {"6 bytes, variant B", TestImage(6, 0x01), 'B', 1},
  };
  for (RomVariant mode : {RomVariant::kAuto, RomVariant::kA, RomVariant::kB}) {
    for (const GoodUpload& good : uploads) {
      if (mode == RomVariant::kA && good.variant != 'A') continue;
      if (mode == RomVariant::kB && good.variant != 'B') continue;
      SCOPED_TRACE(good.name);
      RomOptions options;
      options.variant = mode;
      Rom& rom = MakeRom(options);
      out_.Take();
      reports_.clear();
      Upload upload = BuildUpload(good.image);
      Feed(upload.head);
      EXPECT_EQ(out_.Take(), "GET");
      EXPECT_EQ(Feed(upload.tail), upload.tail.size());
      EXPECT_EQ(out_.Take(), "O");
      EXPECT_TRUE(rom.LoaderStarted());
      EXPECT_EQ(Reports(), "");
      std::string line =
          StringPrintf("rom head words=%u variant=%c checksum=0x%08x length=%zu\n", good.words,
                       good.variant, ImageChecksum(good.image), good.image.size());
      EXPECT_NE(log_.text().find(line + "rom verdict O\n"), std::string::npos) << log_.text();
    }
  }
}

TEST_F(RomTest, BuiltInImageHeadMatchesTheToolsFraming) {
  // 93570 bytes: head frame 59 00 04 00 00, length 82 6D 01 00 before "boot".
  Upload upload = BuildUpload(TestImage(93570, 0x00));
  ASSERT_EQ(upload.head.size(), 5u + 4096u);
  EXPECT_EQ(upload.head.substr(0, 5), std::string("\x59\x00\x04\x00\x00", 5));
  EXPECT_EQ(upload.head.substr(5 + 4088, 4), std::string("\x82\x6D\x01\x00", 4));
  MakeRom();
  Feed(upload.head + upload.tail);
  EXPECT_EQ(out_.bytes(), "GETO");
}

struct BrokenUpload {
  const char* name;
  std::string image;
  UploadFaults faults;
  const char* reason;  // part of the report naming the broken rule
};

TEST_F(RomTest, BrokenRuleAnswersEAndNamesIt) {
  const std::string a = TestImage(93570, 0x00);
  const std::string b = TestImage(5000, 0x01, true);
  const std::vector<BrokenUpload> cases = {
      {"A checksum", a, {.checksum_delta = 1}, "checksum: 0x"},
      {"B checksum", b, {.checksum_delta = 0x100}, "checksum: 0x"},
      {"A head words",
       a,
       {.words_delta = -1},
       "head frame: 1023 words announced, but an image of "
       "93570 bytes beginning"},
      {"B head words (8192 limit ignored)",
       TestImage(20000, 0x01, true),
       {.words_delta = -1024},
       "head frame: 1024 words announced, but an image of 20000 bytes beginning 11 32 needs "
       "min(20000, 8192) / 4 = 2048"},
      {"A marker", a, {.wrong_marker = true}, "not the marker \"boot\""},
      {"B marker", b, {.wrong_marker = true}, "not the marker \"boot\""},
      {"A head byte", a, {.head_byte_flip = 100}, "head: image byte 104 (0x68) is"},
      {"B head byte", b, {.head_byte_flip = 4990}, "head: image byte 4994"},
      {"variant B image framed as A",
       TestImage(5000, 0x01),
       {.as_variant_a = true},
       "image byte 2 is 0x01, which calls for variant B"},
  };
  for (const BrokenUpload& broken : cases) {
    SCOPED_TRACE(broken.name);
    Rom& rom = MakeRom();
    out_.Take();
    reports_.clear();
    Upload upload = BuildUpload(broken.image, broken.faults);
    Feed(upload.head);
    if (broken.faults.wrong_marker) {
      // The head gives no usable length: the ROM takes bytes until silence.
      Feed(upload.tail);
      rom.OnSilence();
    } else {
      Feed(upload.tail);
    }
    EXPECT_EQ(out_.Take(), "GETE");
    EXPECT_FALSE(rom.LoaderStarted());
    EXPECT_NE(Reports().find(broken.reason), std::string::npos) << Reports();
    EXPECT_NE(log_.text().find("rom verdict E\n"), std::string::npos);
  }
}

TEST_F(RomTest, ForcedVariantRejectsTheOtherFraming) {
  RomOptions options;
  options.variant = RomVariant::kB;
  Rom& rom = MakeRom(options);
  Upload upload = BuildUpload(TestImage(1000, 0x00));  // variant A
  Feed(upload.head + upload.tail);
  rom.OnSilence();
  EXPECT_EQ(out_.bytes().substr(0, 3), "GET");
  EXPECT_EQ(out_.bytes().back(), 'E');
  EXPECT_FALSE(rom.LoaderStarted());
}

TEST_F(RomTest, PassErrorsAllowResendsHeadErrorsHalt) {
  // A corrupted pass is answered "E" and the resent image (variant B: without
  // checksum and length again) is accepted.
  Rom& rom = MakeRom();
  std::string image = TestImage(5000, 0x01, true);
  Upload upload = BuildUpload(image);
  std::string corrupt = upload.tail;
  corrupt[8 + 3000] ^= 1;
  Feed(upload.head + corrupt);
  EXPECT_EQ(out_.Take(), "GETE");
  Feed(image);
  EXPECT_EQ(out_.Take(), "O");
  EXPECT_TRUE(rom.LoaderStarted());

  // A wrong head frame cannot be mended by resending: "E", then silence.
  Rom& halted = MakeRom();
  Upload wrong = BuildUpload(TestImage(93570, 0x00), {.words_delta = -1});
  Feed(wrong.head + wrong.tail + wrong.image);
  EXPECT_EQ(out_.Take(), "GETE");
  EXPECT_TRUE(halted.Halted());

  // Passes that keep failing end in silence too.
  Rom& stubborn = MakeRom();
  Upload bad = BuildUpload(TestImage(2000, 0x00), {.checksum_delta = 1});
  Feed(bad.head + bad.tail + bad.image + bad.image + bad.image);
  EXPECT_EQ(out_.Take(), "GETEEE");
  EXPECT_TRUE(stubborn.Halted());
}

TEST_F(RomTest, ConfiguredFaults) {
  RomOptions errors;
  errors.forced_error_passes = 2;
  Rom& rom = MakeRom(errors);
  std::string image = TestImage(3000, 0x00);
  Upload upload = BuildUpload(image);
  Feed(upload.head + upload.tail + image + image);
  EXPECT_EQ(out_.Take(), "GETEEO");
  EXPECT_TRUE(rom.LoaderStarted());
  EXPECT_NE(log_.text().find("rom verdict E\nrom verdict E\nrom verdict O\n"), std::string::npos);

  RomOptions verdict;
  verdict.verdict = 0x41;
  Rom& odd = MakeRom(verdict);
  Feed(upload.head + upload.tail);
  EXPECT_EQ(out_.Take(), "GETA");
  EXPECT_TRUE(odd.LoaderStarted());

  RomOptions no_get;
  no_get.send_get = false;
  Rom& mute = MakeRom(no_get);
  Feed(upload.head + upload.tail);
  EXPECT_EQ(out_.Take(), "");
  EXPECT_TRUE(mute.Halted());
}

TEST_F(RomTest, WaitsForTheHeadFrameAndHandsLaterBytesToTheLoader) {
  Rom& rom = MakeRom();
  EXPECT_TRUE(rom.WaitingForHeadFrame());
  Feed("\r\nnoise");
  EXPECT_TRUE(rom.WaitingForHeadFrame());
  Upload upload = BuildUpload(TestImage(100, 0x00));
  std::string bytes = upload.head + upload.tail + "serialdown 0 1\n";
  EXPECT_EQ(Feed(bytes), bytes.size() - 15);
  EXPECT_EQ(out_.bytes(), "GETO");
  EXPECT_NE(Reports().find("ignored 7 bytes before the head frame"), std::string::npos);
}

TEST_F(RomTest, SilenceInsideAFrameIsReported) {
  Rom& rom = MakeRom();
  std::string image = TestImage(2000, 0x00);
  Upload upload = BuildUpload(image);
  Feed(upload.head + upload.tail.substr(0, 1500));
  EXPECT_TRUE(rom.WaitingInPass());
  rom.OnSilence();
  EXPECT_EQ(out_.Take(), "GETE");
  EXPECT_NE(Reports().find("the pass ended after 1500 of 2000 bytes"), std::string::npos);
  Feed(image);  // the tool's next pass
  EXPECT_EQ(out_.Take(), "O");

  Rom& short_head = MakeRom();
  Feed(upload.head.substr(0, 100));
  short_head.OnSilence();
  EXPECT_EQ(out_.Take(), "");
  EXPECT_TRUE(short_head.Halted());

  Rom& huge = MakeRom();
  Feed(std::string("Y") + Fixed32(5000));
  EXPECT_TRUE(huge.Halted());
  EXPECT_NE(Reports().find("head frame: 5000 words announced; a head holds 1 to 2048 words"),
            std::string::npos);
}

}  // namespace
