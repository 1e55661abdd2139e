#include "store/key_scrambler.h"

#include "store/converter_log.h"

namespace kv {

std::uint8_t ScramblerKey(std::int32_t seed) {
  if (seed >= 247 && seed <= 0x7FFFFFF6) return static_cast<std::uint8_t>((seed + 9) % 255);
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(seed) + 9u);
}

int EncryptDecryptKey(char* buffer, int len, std::int32_t seed) {
  LogConverterEntry("EncryptDecryptKey");
  if (!buffer) return 0;
  const std::uint8_t key = ScramblerKey(seed);
  for (int i = 0; i < len; ++i) buffer[i] = static_cast<char>(static_cast<std::uint8_t>(buffer[i]) ^ key);
  return len;
}

}  // namespace kv
