#include "app/options.h"

#include <unistd.h>

#include "app/usage.h"
#include "device/boot.h"

namespace {

// '+': no permutation, parsing stops at the first operand. ':': a missing
// value is told apart from an unknown letter (':' instead of '?').
constexpr char kOptionString[] = "+:c:b:d:m:e:p:s:Vvh";

Status UsageError(const std::string& diagnostic) {
  return Status::Error(diagnostic + UsageText(Boot::GetMachines()), Status::Stream::kStderr);
}

Status CheckAddress(const char* program, char option, const char* address) {
  if (std::string(address).size() <= kMaxAddressLength) return Status::Ok();
  return Status::Error(StringPrintf("%s: the address of -%c is longer than %zu characters: %s\n",
                                    program, option, kMaxAddressLength, address),
                       Status::Stream::kStderr);
}

}  // namespace

Status ParseOptions(int argc, char** argv, BootOptions* options) {
  *options = BootOptions();
  if (argc < 2) return UsageError("");
  const char* program = argv[0];

  optind = 0;  // glibc: start afresh, also when called again
  opterr = 0;  // the diagnostics are printed in the tool's own wording
  for (;;) {
    int option = getopt(argc, argv, kOptionString);
    if (option == -1) break;
    switch (option) {
      case 'm':
        options->loader = optarg;
        break;
      case 'b':
        options->loader = optarg;
        options->use_boot_file = true;
        break;
      case 'c':
        options->command = optarg;
        break;
      case 'd':
        options->device = optarg;
        break;
      case 'p':
      case 'e':
      case 's': {
        Status checked = CheckAddress(program, static_cast<char>(option), optarg);
        if (!checked.ok()) return checked;
        (option == 's' ? options->stb_ip : options->pc_ip) = optarg;
        break;
      }
      case 'h':
        options->action = BootOptions::Action::kUsage;
        return Status::Ok();
      case 'v':
        options->action = BootOptions::Action::kVersion;
        return Status::Ok();
      case 'V':
        options->action = BootOptions::Action::kLongVersion;
        return Status::Ok();
      case ':':
        return UsageError(StringPrintf("%s: option requires an argument -- %c\n", program, optopt));
      default:
        return UsageError(StringPrintf("%s: unknown option -- %c\n", program, optopt));
    }
  }
  for (int i = optind; i < argc; ++i) {
    options->command += ' ';
    options->command += argv[i];
  }
  if (options->command.size() > kMaxCommandLength) {
    return Status::Error(
        StringPrintf("%s: the command text has %zu characters, more than the %zu allowed; "
                     "nothing was run.\n",
                     program, options->command.size(), kMaxCommandLength),
        Status::Stream::kStderr);
  }
  return Status::Ok();
}
