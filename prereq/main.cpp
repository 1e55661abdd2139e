#include <cstdio>
#include <exception>

#include "platform/system.h"
#include "prereq/check_driver.h"

int main(int argc, char** argv) {
  // The agent reads the answer from the exit code alone: a fault nothing
  // else caught still ends with one, the code of a machine that cannot be
  // read, instead of an abort the agent could not interpret.
  int code = kv::EXIT_NO_INSTALL_DIR;
  try {
    code = kv::RunCheck(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "error: the check cannot go on: %s\n", error.what());
  }
  kv::ExitProcess(static_cast<kv::DWORD>(code));
}
