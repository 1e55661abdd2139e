#pragma once
// Standard Base64 (RFC 4648 alphabet, "=" padding), as the agent stores
// secrets in the registry.

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// White space at both ends is ignored; the rest must be a whole number of
// four-character groups of the alphabet. Decoding ends with the first group
// that carries padding. nullopt when the text is not valid Base64.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace kv
