#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/usage.h"
#include "device/boot.h"

namespace {

Status Parse(std::vector<std::string> words, BootOptions* options) {
  words.insert(words.begin(), "boot");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return ParseOptions(static_cast<int>(words.size()), argv.data(), options);
}

using Action = BootOptions::Action;

struct ParseCase {
  std::vector<std::string> words;
  Action action;
  std::string loader;
  bool use_boot_file;
  std::optional<std::string> device;
  std::string command;
  std::optional<std::string> pc_ip;
  std::optional<std::string> stb_ip;
};

TEST(ParseOptions, ReadsOptionsUpToTheFirstOperand) {
  const ParseCase cases[] = {
      {{"-m", "vk7301", "-d", "/dev/ttyUSB0", "-c", "serialdown 0 'a b.bin'"},
       Action::kRun,
       "vk7301",
       false,
       "/dev/ttyUSB0",
       "serialdown 0 'a b.bin'",
       {},
       {}},
      {{"-mvk7301", "-dCOM3", "-cflash eraseall"},
       Action::kRun,
       "vk7301",
       false,
       "COM3",
       "flash eraseall",
       {},
       {}},
      // The last -c wins.
      {{"-m", "vk7301", "-c", "a", "-c", "b"}, Action::kRun, "vk7301", false, {}, "b", {}, {}},
      // Operands are never moved behind the options: -d here is a command word.
      {{"-m", "vk7301", "-c", "netdown", "0", "f.bin", "-d", "COM3"},
       Action::kRun,
       "vk7301",
       false,
       {},
       "netdown 0 f.bin -d COM3",
       {},
       {}},
      // -b makes the loader name a file for good, also for a later -m.
      {{"-b", "loader.boot", "-m", "vk7301"}, Action::kRun, "vk7301", true, {}, "", {}, {}},
      {{"-m", "vk7301", "-b", "my.boot"}, Action::kRun, "my.boot", true, {}, "", {}, {}},
      // Operands alone: the command text begins with a blank.
      {{"serialdown", "0", "f.bin"}, Action::kRun, "", false, {}, " serialdown 0 f.bin", {}, {}},
      {{"-m", "vk7301", "--", "-x", "y"}, Action::kRun, "vk7301", false, {}, " -x y", {}, {}},
      {{"-c", "a", "-", "b"}, Action::kRun, "", false, {}, "a - b", {}, {}},
      {{"-e", "10.0.0.2"}, Action::kRun, "", false, {}, "", "10.0.0.2", {}},
      {{"-p", "10.0.0.1", "-e", "10.0.0.2", "-s", "10.0.0.7"},
       Action::kRun,
       "",
       false,
       {},
       "",
       "10.0.0.2",
       "10.0.0.7"},
      {{"-d", "COM3"}, Action::kRun, "", false, "COM3", "", {}, {}},
      // -h, -v and -V end the parsing: nothing after them is looked at.
      {{"-h"}, Action::kUsage, "", false, {}, "", {}, {}},
      {{"-hv"}, Action::kUsage, "", false, {}, "", {}, {}},
      {{"-v", "-x"}, Action::kVersion, "", false, {}, "", {}, {}},
      {{"-m", "vk7301", "-V", "-c"}, Action::kLongVersion, "vk7301", false, {}, "", {}, {}},
  };
  for (const ParseCase& c : cases) {
    std::string joined;
    for (const std::string& word : c.words) joined += word + " ";
    SCOPED_TRACE(joined);
    BootOptions options;
    Status parsed = Parse(c.words, &options);
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    EXPECT_EQ(options.action, c.action);
    EXPECT_EQ(options.loader, c.loader);
    EXPECT_EQ(options.use_boot_file, c.use_boot_file);
    EXPECT_EQ(options.device, c.device);
    EXPECT_EQ(options.command, c.command);
    EXPECT_EQ(options.pc_ip, c.pc_ip);
    EXPECT_EQ(options.stb_ip, c.stb_ip);
  }
}

TEST(ParseOptions, RefusesABadCommandLineWithTheUsageText) {
  const std::string usage = UsageText(Boot::GetMachines());
  const struct {
    std::vector<std::string> words;
    std::string message;
  } cases[] = {
      {{}, usage},
      {{"-x"}, "boot: unknown option -- x\n" + usage},
      {{"-m", "vk7301", "-xh"}, "boot: unknown option -- x\n" + usage},  // -h too late
      {{"-c"}, "boot: option requires an argument -- c\n" + usage},
      {{"-m", "vk7301", "-d"}, "boot: option requires an argument -- d\n" + usage},
  };
  for (const auto& c : cases) {
    BootOptions options;
    Status parsed = Parse(c.words, &options);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.stream(), Status::Stream::kStderr);
    EXPECT_EQ(parsed.message().substr(0, c.message.size()), c.message);
  }
}

TEST(ParseOptions, RefusesRatherThanCutsLongTexts) {
  BootOptions options;
  const std::string longest(kMaxCommandLength, 'c');
  ASSERT_TRUE(Parse({"-c", longest}, &options).ok());
  EXPECT_EQ(options.command, longest);
  ASSERT_TRUE(Parse({"-c", longest.substr(4), "abc"}, &options).ok());
  EXPECT_EQ(options.command.size(), kMaxCommandLength);

  const std::string expected =
      "boot: the command text has 1024 characters, more than the 1023 allowed; nothing was run.\n";
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"-c", longest + "c"},
        std::vector<std::string>{"-c", longest.substr(4), "abcd"},
        std::vector<std::string>{longest.substr(2), "x"}}) {
    Status parsed = Parse(words, &options);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.message(), expected);
    EXPECT_EQ(parsed.stream(), Status::Stream::kStderr);
  }

  const std::string address(kMaxAddressLength, '1');
  ASSERT_TRUE(Parse({"-p", address, "-s", address}, &options).ok());
  for (const char* option : {"-p", "-e", "-s"}) {
    Status parsed = Parse({option, address + "1"}, &options);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.message(), std::string("boot: the address of ") + option +
                                    " is longer than 31 characters: " + address + "1\n");
  }
}

TEST(UsageText, HasTheCommandListInColumn18) {
  const std::string usage = UsageText(Boot::GetMachines());
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = usage.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(usage.substr(start, end - start));
  }
  EXPECT_EQ(start, usage.size());  // every line ends with a line end
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[2], "  -m machine list:" + Boot::GetMachines());
  for (size_t i = 3; i <= 15; ++i) {
    SCOPED_TRACE(lines[i]);
    EXPECT_EQ(lines[i].find(':'), 17u);  // column 18
    if (i > 3) {
      EXPECT_EQ(lines[i].substr(0, 18), std::string(17, ' ') + ":");
    }
  }
  EXPECT_EQ(lines[10], "                 :vk_otp <status|lock> ");
  // The usage does not mention -e and -V.
  EXPECT_EQ(usage.find("-e"), std::string::npos);
  EXPECT_EQ(usage.find("-V"), std::string::npos);
}

}  // namespace
