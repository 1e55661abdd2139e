#include "base/decimal_text.h"

#include <cstdint>
#include <cstring>

namespace kv {

int StringToInt(const char* text) {
  if (!text) return -1;
  const std::size_t length = std::strlen(text);
  const bool signedText = length > 0 && (text[0] == '-' || text[0] == '+');
  for (std::size_t i = signedText ? 1 : 0; i < length; ++i)
    if (text[i] < '0' || text[i] > '9') return -1;
  // Evaluated from the last digit backwards in 32-bit arithmetic that wraps
  // rather than overflows, as the stored data expects.
  std::uint32_t sum = 0;
  std::uint32_t power = 1;
  for (std::size_t i = length; i > (signedText ? 1u : 0u); --i) {
    sum += static_cast<std::uint32_t>(text[i - 1] - '0') * power;
    power *= 10;
  }
  if (signedText && text[0] == '-') sum = 0u - sum;
  return static_cast<int>(sum);
}

}  // namespace kv
