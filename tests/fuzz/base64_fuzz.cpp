// Fuzz target for Base64 decoding: whatever the text, decoding gives bytes
// or nothing, never more bytes than three for every four characters.

#include <cstddef>
#include <cstdint>
#include <string>

#include "agent/base64.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> decoded = kv::Base64Decode(text);
  if (decoded && decoded->size() > text.size() / 4 * 3)
    kv::fuzz::Broken("base64_fuzz", "more bytes than the text can carry", text);
  return 0;
}
