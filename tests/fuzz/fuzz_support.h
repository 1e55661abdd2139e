#pragma once
// What the fuzz targets share: a broken invariant ends the run the way a
// sanitizer does, and inputs that a reader takes from a file are written to
// one of their own.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kv::fuzz {

[[noreturn]] inline void Broken(const char* target, const char* what, std::string_view input) {
  std::fprintf(stderr, "%s: %s\n%.*s\n", target, what, static_cast<int>(input.size()), input.data());
  std::abort();
}

// A file of the emulated machine that the process uses from the first call
// on (an image of its own in the temporary directory), rewritten with each
// input; its Windows path.
std::string WriteInputFile(const char* name, std::string_view bytes);
// A file of the source tree copied onto the same machine; its Windows path.
std::string CopySourceFile(const char* name, const std::string& hostPath);

}  // namespace kv::fuzz
