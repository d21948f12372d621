// Runs the built boot executable with command lines that end before any port
// or socket is touched, and compares its streams and exit code.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/usage.h"
#include "device/boot.h"

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Runs boot with `arguments`, its streams into files. The child has 20
// seconds: an alarm set before exec ends it if it hangs.
Outcome RunBoot(const std::vector<std::string>& arguments) {
  char dir_pattern[] = "/tmp/boot_cli_test.XXXXXX";
  EXPECT_NE(mkdtemp(dir_pattern), nullptr);
  const std::string dir = dir_pattern;
  const std::string out_path = dir + "/out";
  const std::string err_path = dir + "/err";

  std::vector<std::string> words = {BOOT_EXE};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    int out = open(out_path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    int null = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || null < 0) _exit(126);
    dup2(null, 0);
    dup2(out, 1);
    dup2(err, 2);
    alarm(20);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Outcome outcome;
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.out = ReadWhole(out_path);
  outcome.err = ReadWhole(err_path);
  std::system(("rm -rf '" + dir + "'").c_str());
  return outcome;
}

TEST(BootCommandLine, PrintsUsageAndVersionsWithTheirExitCodes) {
  const std::string usage = UsageText(Boot::GetMachines());
  const std::string exe = BOOT_EXE;
  const struct {
    std::vector<std::string> arguments;
    int exit_code;
    std::string out;
    std::string err;
  } cases[] = {
      {{}, 1, "", usage},
      {{"-h"}, 0, "", usage},
      {{"-hv"}, 0, "", usage},
      {{"-v"}, 0, "boot version:v1.9-dev --20151020\n", ""},
      {{"-V"}, 0, "boot version:v2.9.2  --20151020\n", ""},
      {{"-m", "vk7301", "-V", "-d"}, 0, "boot version:v2.9.2  --20151020\n", ""},
      {{"-x"}, 1, "", exe + ": unknown option -- x\n" + usage},
      {{"-c"}, 1, "", exe + ": option requires an argument -- c\n" + usage},
      {{"-m", "vk7301", "-c", std::string(1024, 'c')},
       1,
       "",
       exe + ": the command text has 1024 characters, more than the 1023 allowed; "
             "nothing was run.\n"},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const std::string& word : c.arguments) joined += word.substr(0, 20) + " ";
    SCOPED_TRACE("boot " + joined);
    Outcome outcome = RunBoot(c.arguments);
    EXPECT_EQ(outcome.exit_code, c.exit_code);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err, c.err);
  }
}

}  // namespace
