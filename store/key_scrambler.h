#pragma once
// The store's byte scrambler: every byte XORed with one key byte derived
// from the caller's seed, so that applying it twice restores the bytes.

#include <cstdint>

namespace kv {

// The key byte: (seed + 9) mod 255 when 247 <= seed <= 0x7FFFFFF6, else the
// low byte of seed + 9.
[[nodiscard]] std::uint8_t ScramblerKey(std::int32_t seed);
// Scrambles (or restores) len bytes in place; returns len.
int EncryptDecryptKey(char* buffer, int len, std::int32_t seed);

}  // namespace kv
