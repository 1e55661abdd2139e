#pragma once
// How the store holds column values. A stored value is the bytes of its
// column type's stored form with their length; rows, defaults, snapshots and
// criteria literals all use the same form, so comparing two values never
// converts or copies them:
//   integer codes 1-8     the integer at its width, low-order byte first
//                         (rows built from XML documents hold codes 1-6 in
//                         4 bytes: read integers at their stored length)
//   9, 11 / 10            a float / a double
//   14, 15, 22            the text's bytes, NUL-terminated in owned storage
//                         (the length leaves the terminator out)
//   16, 17, 18            a TarnDate (4), TarnTime (3) or TarnDateTime (11),
//                         told apart by the length
//   19                    one byte, 1 or 0
//   0, 12, 13, 20, 21     raw bytes
// A null data pointer is SQL NULL.

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace kv {

// Bytes of a stored value that the holder owns.
using OwnedValue = std::unique_ptr<char[]>;

struct StoredValue {
  const char* data = nullptr;
  std::int32_t length = 0;

  [[nodiscard]] bool IsNull() const { return data == nullptr; }
  std::string_view Bytes() const {
    return data ? std::string_view(data, static_cast<std::size_t>(length)) : std::string_view();
  }
};

// Row state bits.
constexpr std::uint8_t ROW_STATE_IN_DATABASE = 1;
constexpr std::uint8_t ROW_STATE_NEW = 2;
constexpr std::uint8_t ROW_STATE_MODIFIED = 4;
constexpr std::uint8_t ROW_STATE_DELETED = 8;

// A row as the store's operations read it: its values in the order of its
// table's columns, and its state bits.
struct RowView {
  const StoredValue* values = nullptr;
  std::int32_t count = 0;
  std::uint8_t state = 0;
};

// The width a stored integer is read at: its length when that is 1, 2, 4 or
// 8, else the width of its type (never more than the bytes it has).
[[nodiscard]] int StoredIntegerWidth(std::int32_t length, std::uint8_t type);

template <class T>
T Load(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// An integer of width bytes (1, 2, 4 or 8; others read as much of 8 as
// given), low-order byte first.
inline std::uint64_t ReadUnsignedInteger(const char* bytes, int width) {
  if constexpr (std::endian::native == std::endian::little) {
    switch (width) {
      case 1: return static_cast<unsigned char>(bytes[0]);
      case 2: return Load<std::uint16_t>(bytes);
      case 4: return Load<std::uint32_t>(bytes);
      case 8: return Load<std::uint64_t>(bytes);
      default: break;
    }
  }
  std::uint64_t value = 0;
  for (int i = width < 8 ? width : 8; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}
inline std::int64_t ReadSignedInteger(const char* bytes, int width) {
  const std::uint64_t value = ReadUnsignedInteger(bytes, width);
  if (width <= 0 || width >= 8) return static_cast<std::int64_t>(value);
  const std::uint64_t sign = std::uint64_t{1} << (width * 8 - 1);
  return static_cast<std::int64_t>((value ^ sign) - sign);
}
inline float ReadFloat(const char* bytes) { return Load<float>(bytes); }
inline double ReadDouble(const char* bytes) { return Load<double>(bytes); }

}  // namespace kv
