// flash_load_conf, flash_printf and flash_free are exported by name from the
// boot executable. glibc refuses to dlopen() a position-independent
// executable, so a small library preloaded into boot (exports_probe) finds
// them with dlsym in the running executable and calls them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

TEST(FlashExports, BootExportsTheLayoutFunctionsByName) {
  char pattern[] = "/tmp/flash_exports_test.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::ofstream(dir + "/board.conf") << "flash_size 128k\n"
                                        "boot boot.bin false raw ro 0 0 0\n"
                                        "app NULL false cramfs rw 0 0 0x10000\n";
  std::ofstream(dir + "/boot.bin") << std::string(2048, 'b');

  // Sanitizer builds: the preloaded library comes before the sanitizer runtime.
  const std::string command = "KAVRIN_PROBE_LAYOUT='" + dir +
                              "/board.conf' "
                              "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}"
                              "verify_asan_link_order=0\" "
                              "LD_PRELOAD='" EXPORTS_PROBE "' '" BOOT_EXE "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  int status = pclose(pipe);
  std::system(("rm -rf '" + dir + "'").c_str());

  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
  // Loading printed its empty line, then the table followed.
  EXPECT_EQ(out.rfind("\n\nPartition Version   :  102\n", 0), 0u) << out;
  EXPECT_NE(out.find("\n0  boot    RO RAW                    0      0 00000000  64.00 KB  "
                     " 64.00 KB   2.00 KB 3.1  %       0  B  *\n"
                     "1  app     RW CRAMFS                 0      0 00010000  64.00 KB  "
                     " 64.00 KB      0  B 0.0  %       0  B  *\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\nprobe: flash_free returned 0\n"), std::string::npos) << out;
}

}  // namespace
