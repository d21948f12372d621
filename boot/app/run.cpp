#include "app/run.h"

#include <cstdio>

#include "app/options.h"
#include "app/usage.h"
#include "net/host_address.h"
#include "net/os_init.h"
#include "net/tftp_server.h"

namespace {

// Prints a failure's message on its stream. Standard output is flushed first,
// so that both streams, joined into one pipe by the front end, keep their order.
int Fail(const Status& status) {
  std::fflush(stdout);
  std::FILE* stream = status.stream() == Status::Stream::kStderr ? stderr : stdout;
  std::fputs(status.message().c_str(), stream);
  std::fflush(stream);
  return 1;
}

}  // namespace

Status StartNetworkServices(Boot* boot, const std::string& command) {
  if (OSInit() != 0) return Status::Error("");  // OSInit has printed its message
  return StartTftpServer(&boot->tftpd, CommandsNeedTftpServer(command));
}

Status BootCommand(Boot* boot, const char* device, const std::string& loader,
                   const std::string& command) {
  Status opened = boot->SetSerial(device);
  if (!opened.ok()) return opened;
  std::printf("Found serial: %s\n", boot->serial->port_name());
  std::fflush(stdout);

  // The ROM's output before the loader runs is noise; the loader's is shown.
  boot->echo = false;
  Status loaded = boot->Loader(loader);
  if (!loaded.ok()) return loaded;
  boot->echo = true;

  return boot->Command(command, 1);
}

int RunBoot(int argc, char** argv) {
  BootOptions options;
  Status parsed = ParseOptions(argc, argv, &options);
  if (!parsed.ok()) return Fail(parsed);
  switch (options.action) {
    case BootOptions::Action::kUsage:
      boot_usage_detailed(Boot::GetMachines());
      return 0;
    case BootOptions::Action::kVersion:
      std::fputs(kVersionText, stdout);
      return 0;
    case BootOptions::Action::kLongVersion:
      std::fputs(kLongVersionText, stdout);
      return 0;
    case BootOptions::Action::kRun:
      break;
  }
  if (options.pc_ip) save_local_ip(options.pc_ip->c_str());
  if (options.stb_ip) save_stb_ip(options.stb_ip->c_str());

  Boot boot;
  boot.use_boot_file = options.use_boot_file;
  Status started = StartNetworkServices(&boot, options.command);
  if (!started.ok()) return Fail(started);

  Status ran = BootCommand(&boot, options.device ? options.device->c_str() : nullptr,
                           options.loader, options.command);
  if (!ran.ok()) return Fail(ran);
  // Failures that let the run go on still make it a failed run.
  if (boot.had_soft_failure()) return 1;
  std::fflush(stdout);
  return 0;
}
