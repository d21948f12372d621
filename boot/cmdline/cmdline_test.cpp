#include "cmdline/cmdline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct SplitResult {
  int status = -1;
  std::vector<std::string> words;
  std::string reason;  // empty on success
  std::string output;  // what the split printed
  int count_after = -1;
  bool end_mark_null = false;  // slot `count` null after a success
};

SplitResult Split(const std::string& text) {
  SplitResult result;
  int argc = -1;
  char** argv = nullptr;
  const char* reason = "not reset";
  testing::internal::CaptureStdout();
  result.status = str2argv(text.c_str(), &argc, &argv, &reason);
  result.output = testing::internal::GetCapturedStdout();
  result.count_after = argc;
  if (reason != nullptr) result.reason = reason;
  if (result.status == 0) {
    for (int i = 0; i < argc; ++i) result.words.emplace_back(argv[i]);
    result.end_mark_null = argv[argc] == nullptr;
    argv_free(&argc, &argv);
  } else {
    EXPECT_EQ(argv, nullptr);
  }
  return result;
}

const char kUnmatched[] = "Unmatched quotes";
const char kDangling[] = "Unused/Dangling escape sequence";
const char kUnmatchedLine[] = "warning fun(str2argv) line(215):free inside function.\n";
const char kDanglingLine[] = "warning fun(str2argv) line(223):free inside function.\n";

struct SplitCase {
  const char* input;
  std::vector<std::string> words;  // expected on success
  const char* reason;              // expected on failure, else null
};

// Every rule of the splitter, and the listed consequences of the rules, with
// single quotes and again with double quotes.
const SplitCase kSplitCases[] = {
    {"a b  c", {"a", "b", "c"}, nullptr},
    {"'a b' c", {"a b", "c"}, nullptr},
    {"\"a b\" c", {"a b", "c"}, nullptr},
    {"a\\ b", {"a b"}, nullptr},
    {"a\\b", {"ab"}, nullptr},
    {"\\' x", {"'x"}, nullptr},
    {"\\\" x", {"\"x"}, nullptr},
    {"\\\\ x", {"\\x"}, nullptr},
    {"a \\'", {"a", "'"}, nullptr},
    {"'a\\b'", {"a\\b"}, nullptr},
    {"'a\\'b'", {"a'b"}, nullptr},
    {"\"a\\\"b\"", {"a\"b"}, nullptr},
    {"'' x", {"x"}, nullptr},
    {"\"\" x", {"x"}, nullptr},
    {"ab'c d'e", {"abc d", "e"}, nullptr},
    {"ab\"c d\"e", {"abc d", "e"}, nullptr},
    {"'a b'c d", {"a b", "c", "d"}, nullptr},
    {"a'b", {}, kUnmatched},
    {"a\"b", {}, kUnmatched},
    {"'ab", {}, kUnmatched},
    {"'ab\\\\'", {}, kUnmatched},
    {"a\\", {}, kDangling},
    {"\\ ", {}, kDangling},
    {"a \\ \t ", {}, kDangling},
    // Each quote character is ordinary inside a section opened by the other;
    // a backslash before the other quote is two ordinary characters.
    {"'say \"hi\"' x", {"say \"hi\"", "x"}, nullptr},
    {"\"it's\"", {"it's"}, nullptr},
    {"'a\\\"b'", {"a\\\"b"}, nullptr},
    // Separators: blank, tab, line feed; a carriage return is ordinary.
    {"a\tb\nc\rd", {"a", "b", "c\rd"}, nullptr},
    {"'a\tb\nc'", {"a\tb\nc"}, nullptr},
    {"a\\\tb", {"a\tb"}, nullptr},
    // Bytes of 0x80 and above are ordinary.
    {"\xc3\xa9t\xc3\xa9 x", {"\xc3\xa9t\xc3\xa9", "x"}, nullptr},
    {"", {}, nullptr},
    {" \t\n ", {}, nullptr},
    {"serialdown 0x10000 'C:\\\\fw\\\\my app.bin' yaffs2",
     {"serialdown", "0x10000", "C:\\\\fw\\\\my app.bin", "yaffs2"},
     nullptr},
    {"netdown 0 C:\\\\fw\\\\app.bin", {"netdown", "0", "C:\\fw\\app.bin"}, nullptr},
};

TEST(Str2argv, FollowsEveryRuleOfTheTable) {
  for (const SplitCase& c : kSplitCases) {
    SCOPED_TRACE(std::string("input: ") + c.input);
    SplitResult result = Split(c.input);
    if (c.reason == nullptr) {
      EXPECT_EQ(result.status, 0);
      EXPECT_EQ(result.reason, "");
      EXPECT_EQ(result.words, c.words);
      EXPECT_EQ(result.count_after, static_cast<int>(c.words.size()));
      EXPECT_TRUE(result.end_mark_null);
      EXPECT_EQ(result.output, "");
    } else {
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.reason, c.reason);
      EXPECT_EQ(result.count_after, 0);
      EXPECT_EQ(result.output,
                std::string(c.reason) == kUnmatched ? kUnmatchedLine : kDanglingLine);
    }
  }
}

std::string Words(int count, const std::string& separator, const std::string& end = "") {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? separator : "") + "w" + std::to_string(i);
  return text + end;
}

TEST(Str2argv, AcceptsTheLimitsAndRefusesToCutBeyondThem) {
  const std::string longest(kArgvMaxWordLength, 'f');
  SplitResult longest_word = Split("serialdown 0 " + longest);
  EXPECT_EQ(longest_word.status, 0);
  EXPECT_EQ(longest_word.words.back(), longest);
  EXPECT_EQ(longest_word.output, "");

  SplitResult too_long = Split("serialdown 0 " + longest + "g");
  EXPECT_EQ(too_long.status, 1);
  EXPECT_EQ(too_long.reason, "Word too long");
  EXPECT_EQ(too_long.count_after, 0);
  EXPECT_EQ(too_long.output, "argv_addch: reached max token length (255)\n");

  // Also a quoted word grows past the limit.
  SplitResult too_long_quoted = Split("'" + longest + " '");
  EXPECT_EQ(too_long_quoted.reason, "Word too long");

  SplitResult most_words = Split(Words(kArgvMaxWords, " "));
  EXPECT_EQ(most_words.status, 0);
  EXPECT_EQ(most_words.words.size(), 254u);
  EXPECT_EQ(most_words.words.back(), "w253");
  EXPECT_EQ(most_words.output, "");

  // A final finish on a full vector prints the message, but loses nothing.
  SplitResult trailing_blank = Split(Words(kArgvMaxWords, " ", " "));
  EXPECT_EQ(trailing_blank.status, 0);
  EXPECT_EQ(trailing_blank.words.size(), 254u);
  EXPECT_TRUE(trailing_blank.end_mark_null);
  EXPECT_EQ(trailing_blank.output, "argv_finish_token: reached max argv entries(255)");

  for (const char* separator : {" ", "\t"}) {
    SplitResult too_many = Split(Words(kArgvMaxWords + 1, separator));
    EXPECT_EQ(too_many.status, 1);
    EXPECT_EQ(too_many.reason, "Too many words");
    EXPECT_EQ(too_many.count_after, 0);
    EXPECT_EQ(too_many.output, "argv_finish_token: reached max argv entries(255)\n");
  }
  SplitResult too_many_quoted = Split(Words(kArgvMaxWords, " ", " 'last'"));
  EXPECT_EQ(too_many_quoted.reason, "Too many words");
}

TEST(ArgvHelpers, BuildAVectorWordByWord) {
  int argc = -1;
  char** argv = nullptr;
  ASSERT_EQ(argv_init(&argc, &argv), 0);
  EXPECT_EQ(argc, 0);
  EXPECT_STREQ(argv[0], "");
  EXPECT_EQ(argv_finish_token(&argc, &argv), 0);  // an empty word is not counted
  EXPECT_EQ(argc, 0);
  for (char c : std::string("ab")) ASSERT_EQ(argv_addch(argc, argv, c), 0);
  ASSERT_EQ(argv_finish_token(&argc, &argv), 0);
  EXPECT_EQ(argc, 1);
  EXPECT_STREQ(argv[0], "ab");
  EXPECT_STREQ(argv[1], "");
  argv_free(&argc, &argv);
  EXPECT_EQ(argc, 0);
  EXPECT_EQ(argv, nullptr);
  argv_free(&argc, &argv);  // a released vector may be released again
}

TEST(Argv2str, JoinsWordsQuotingThoseWithBlanks) {
  char partition[] = "partition";
  char spaced[] = "a b";
  char tabbed[] = "c\td";
  char x[] = "x";
  struct Case {
    std::vector<char*> words;
    const char* joined;
  } cases[] = {
      {{partition, spaced}, "partition 'a b' "},
      {{x}, "x "},
      {{tabbed, x}, "c\td x "},
  };
  for (Case& c : cases) {
    char* joined = argv2str(static_cast<int>(c.words.size()), c.words.data());
    ASSERT_NE(joined, nullptr);
    EXPECT_STREQ(joined, c.joined);
    std::free(joined);
  }
  EXPECT_EQ(argv2str(0, nullptr), nullptr);
  EXPECT_EQ(argv2str(-1, nullptr), nullptr);
}

TEST(Argv2str, RoundTripsThroughTheSplitter) {
  SplitResult split = Split("flash  erase\t0x800000 'my file'");
  ASSERT_EQ(split.status, 0);
  std::vector<char*> words;
  for (std::string& word : split.words) words.push_back(word.data());
  char* joined = argv2str(static_cast<int>(words.size()), words.data());
  EXPECT_STREQ(joined, "flash erase 0x800000 'my file' ");
  EXPECT_EQ(Split(joined).words, split.words);
  std::free(joined);
}

}  // namespace
