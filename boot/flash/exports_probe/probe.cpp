// Preloaded into the boot executable by flash_exports_test: looks up
// flash_load_conf, flash_printf and flash_free by name in the running
// executable, runs them on the layout file named by KAVRIN_PROBE_LAYOUT, and
// ends the process before boot's own main runs. Without that variable it
// does nothing.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

using LoadFunction = void* (*)(const char* conf, char* basedir);
using PrintFunction = void (*)(void* layout);
using FreeFunction = int (*)(void* layout);

void* Find(const char* name) {
  void* function = dlsym(RTLD_DEFAULT, name);
  if (function == nullptr) std::printf("probe: %s is not exported\n", name);
  return function;
}

__attribute__((constructor)) void RunProbe() {
  const char* layout_file = std::getenv("KAVRIN_PROBE_LAYOUT");
  if (layout_file == nullptr) return;
  auto load = reinterpret_cast<LoadFunction>(Find("flash_load_conf"));
  auto print = reinterpret_cast<PrintFunction>(Find("flash_printf"));
  auto release = reinterpret_cast<FreeFunction>(Find("flash_free"));
  if (load == nullptr || print == nullptr || release == nullptr) {
    std::fflush(stdout);
    _exit(2);
  }
  void* layout = load(layout_file, nullptr);
  if (layout != nullptr) print(layout);
  std::printf("probe: flash_free returned %d\n", release(layout));
  std::fflush(stdout);
  _exit(0);
}

}  // namespace
