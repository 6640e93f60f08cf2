// brxpack's entry point; everything else is in RunBrxpack, which tests call.
#include <iostream>

#include "brxpack/commands/brxpack_cli.h"
#include "brxpack/host/interrupt_cleanup.h"
#include "brxpack/host/process_environment.h"

int main(int argc, char** argv) {
  brxpack::PrepareConsoleForUtf8();
  brxpack::RemoveTemporariesOnInterrupt();
  brxpack::Console console{std::cout, std::cerr, brxpack::StandardErrorIsTerminal()};
  return brxpack::RunBrxpack(brxpack::CommandLineArguments(argc, argv), console);
}
