#pragma once
// The checker's decision: whether the processor side-channel mitigation
// patch may be installed on this computer, answered as an exit code.

namespace kv {

// Exit codes.
constexpr int EXIT_PATCH_ALLOWED = 0;
constexpr int EXIT_NO_INSTALL_DIR = 13;
constexpr int EXIT_AMD_PROCESSOR = 119;
constexpr int EXIT_ANTIVIRUS_FOUND = 15613;

// Runs the whole check and returns the exit code.
[[nodiscard]] int RunCheck(int argc, const char* const* argv);

}  // namespace kv
