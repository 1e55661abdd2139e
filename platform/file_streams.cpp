// What both backends read alike through a C stream.

#include <cstdio>
#include <string>

#include "platform/files.h"

namespace kv {

bool ReadToEnd(std::FILE* stream, std::string& bytes) {
  char piece[64 * 1024];
  std::size_t got = 0;
  while ((got = std::fread(piece, 1, sizeof piece, stream)) > 0) bytes.append(piece, got);
  return std::ferror(stream) == 0;
}

}  // namespace kv
