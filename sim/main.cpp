// stbsim: a simulated set-top box on a pseudo-terminal.

#include <cstdio>
#include <string>

#include "options.h"
#include "simulator.h"

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  switch (ParseOptions(argc, argv, &options, &error)) {
    case ParseOutcome::kHelp:
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    case ParseOutcome::kError:
      std::fprintf(stderr, "stbsim: %s\nTry 'stbsim --help'.\n", error.c_str());
      return 2;
    case ParseOutcome::kRun:
      break;
  }
  return RunSimulator(options);
}
