// The boot tool's entry: everything happens in RunBoot (app/run.h).
#include "app/run.h"

int main(int argc, char** argv) { return RunBoot(argc, argv); }
