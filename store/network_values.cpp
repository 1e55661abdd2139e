#include "store/network_values.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "base/decimal_text.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "store/converter_log.h"
#include "store/text_scan.h"

namespace kv {
namespace {

// Runs a conversion that builds texts; running out of memory gives its
// empty result instead of an exception.
template <class F>
auto WithoutThrowing(F convert) -> decltype(convert()) {
  try {
    return convert();
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool IsHexDigit(int c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

int CountDots(std::string_view text) {
  int dots = 0;
  for (char c : text) dots += c == '.';
  return dots;
}

// The value of a decimal part, or -1 when it is empty, not a decimal or
// negative, or when it reads as 0 without being written with zero digits.
std::int64_t PartValue(std::string_view part) {
  if (part.empty()) return -1;
  const std::string text(part);
  const int value = StringToInt(text.c_str());
  if (value < 0 || text[0] == '-') return -1;
  if (value == 0 && text.back() != '0') return -1;
  return value;
}

// The pieces of text between dots.
std::vector<std::string_view> SplitAtDots(std::string_view text) {
  std::vector<std::string_view> parts;
  while (true) {
    const std::size_t dot = text.find('.');
    parts.push_back(text.substr(0, dot));
    if (dot == std::string_view::npos) return parts;
    text.remove_prefix(dot + 1);
  }
}

}  // namespace

int GetHexValue(int c) {
  LogConverterEntry("GetHexValue");
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c;
}

int ConvertToDecimalFromHexa(int c) {
  LogConverterEntry("ConvertToDecimalFromHexa");
  return IsHexDigit(c) ? GetHexValue(c) : 0;
}

void ConvertToHexValue(char* text, int len) {
  LogConverterEntry("ConvertToHexValue");
  if (!text) return;
  for (int i = 0; i + 1 < len; i += 2) {
    const int high = ConvertToDecimalFromHexa(static_cast<unsigned char>(text[i]));
    const int low = ConvertToDecimalFromHexa(static_cast<unsigned char>(text[i + 1]));
    text[i / 2] = static_cast<char>(high * 16 + low);
  }
}

void ConvertToStringFromHex(std::uint8_t* out, const std::uint8_t* octets, int n) {
  LogConverterEntry("ConvertToStringFromHex");
  if (!out || !octets) return;
  for (int i = 0; i < n; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(octets[i] >> 4);
    out[2 * i + 1] = static_cast<std::uint8_t>(octets[i] & 0x0F);
  }
}

std::optional<std::string> ToString(std::int64_t value, int kind) {
  LogConverterEntry("ToString");
  return WithoutThrowing([&]() -> std::optional<std::string> {
    if (kind == 0) return Format("%" PRId64, value);
    if (kind == 1) return std::string(value ? "TRUE" : "FALSE");
    return std::nullopt;
  });
}

std::optional<std::string> ConvertToStringFromInteger(std::int32_t value) {
  LogConverterEntry("ConvertToStringFromInteger");
  std::optional<std::string> text =
      WithoutThrowing([&]() -> std::optional<std::string> { return Format("%d", value); });
  if (!text) LogError("Unable to allocate buffer !!! \n");
  return text;
}

std::optional<std::string> ConvertToStringFromUnsignedInteger(std::uint32_t value, int* length) {
  LogConverterEntry("ConvertToStringFromUnsignedInteger");
  std::optional<std::string> text =
      WithoutThrowing([&]() -> std::optional<std::string> { return Format("%u", value); });
  if (!text) {
    LogError("Unable to allocate buffer !!! \n");
    return text;
  }
  if (length) *length = static_cast<int>(text->size());
  return text;
}

std::optional<std::string> ConvertToStringFromOID(const std::uint32_t* subIds, int& size) {
  LogConverterEntry("ConvertToStringFromOID");
  if (!subIds || size < 0) return std::nullopt;
  std::optional<std::string> text = WithoutThrowing([&]() -> std::optional<std::string> {
    std::string dotted;
    ConvertToStringFromOid(subIds, size / 4, dotted);
    return dotted;
  });
  if (text) size = static_cast<int>(text->size());
  return text;
}

std::optional<std::string> ConvertToStringFromCounter64(const Counter64& counter) {
  LogConverterEntry("ConvertToStringFromOid");
  LogConverterEntry("ConvertToStringFromCounter64");
  std::optional<std::string> text = WithoutThrowing(
      [&]() -> std::optional<std::string> { return Format("%" PRIu64, ConvertToULongLongFromCounter64(counter)); });
  if (text) LogDebug("The String is : %s\n", text->c_str());
  return text;
}

int ConvertToOidOrIpFromString(OidArray& out, const char* text, bool isIp) {
  LogConverterEntry("ConvertToOidOrIpFromString");
  out.clear();
  const std::string_view view = text ? std::string_view(text) : std::string_view();
  const int dots = GetOidLength(view.data(), static_cast<int>(view.size()));
  if (dots == 0) {
    LogError(isIp ? "Incorrect format of IpAddress\n" : "Incorrect format of OID\n");
    return -1;
  }
  const int expected = isIp ? dots + 1 : dots;
  return WithoutThrowing([&]() -> int {
    for (std::string_view part : SplitAtDots(isIp ? view : view.substr(1))) {
      const std::int64_t value = PartValue(part);
      if (value < 0) {
        out.clear();
        return -1;
      }
      out.push_back(static_cast<std::uint32_t>(value));
    }
    return static_cast<int>(out.size()) == expected ? expected : 0;
  });
}

bool IsValidIPAddress(const char* text, int len) {
  LogConverterEntry("IsValidIPAddress");
  if (!text || len <= 0) return false;
  const std::string_view view(text, static_cast<std::size_t>(len));
  if (view.front() == '.' || view.find("..") != std::string_view::npos || CountDots(view) != 3) return false;
  return WithoutThrowing([&]() -> bool {
    for (std::string_view part : SplitAtDots(view)) {
      const std::int64_t value = PartValue(part);
      if (value < 0 || value > 255) return false;
      if (value == 0 && part.find_first_not_of('0') != std::string_view::npos) return false;
    }
    return true;
  });
}

bool IsValidOid(const char* text, int len) {
  LogConverterEntry("IsValidOid");
  return text && len > 0 && text[0] == '.' && GetOidLength(text, len) > 1;
}

int GetOidLength(const char* text, int len) {
  LogConverterEntry("GetOidLength");
  if (!text || len <= 0) return 0;
  return CountDots(std::string_view(text, static_cast<std::size_t>(len)));
}

int CompareOid(const std::uint32_t* a, int na, const std::uint32_t* b, int nb) {
  LogConverterEntry("CompareOid");
  for (int i = 0; i < na && i < nb; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (na == nb) return 0;
  return na < nb ? -1 : 1;
}

void CopyOid(std::uint32_t* target, const std::uint32_t* source, int n) {
  LogConverterEntry("CopyOid");
  if (target && source && n > 0) std::memmove(target, source, sizeof(std::uint32_t) * static_cast<std::size_t>(n));
}

void SetNOid(OidArray& target, const std::uint32_t* source, int n) {
  LogConverterEntry("SetNOid");
  target.assign(source, source + (source && n > 0 ? n : 0));
}

void CopyStringToOid(std::uint32_t* target, const std::uint8_t* bytes, int n) {
  LogConverterEntry("CopyStringToOid");
  if (!target || !bytes) return;
  for (int i = 0; i < n; ++i) target[i] = bytes[i];
}

int CopyStringToOID(OidArray& target, const char* text) {
  LogConverterEntry("CopyStringToOID");
  target.clear();
  for (const char* c = text; c && *c; ++c) target.push_back(static_cast<unsigned char>(*c));
  return static_cast<int>(target.size());
}

std::string ConvertToCharArray(const std::uint32_t* subIds, int n) {
  LogConverterEntry("ConvertToCharArray");
  std::string bytes;
  for (int i = 0; subIds && i < n; ++i) bytes.push_back(static_cast<char>(subIds[i] % 255));
  return bytes;
}

std::uint32_t GetNextSubId(std::uint32_t value, const std::uint32_t* array, int n) {
  LogConverterEntry("GetNextSubId");
  for (int i = 0; array && i < n; ++i) {
    if (array[i] > value) return array[i];
  }
  return 0;
}

void ConvertToStringFromOid(const std::uint32_t* array, int n, std::string& out) {
  out.clear();
  for (int i = 0; array && i < n; ++i) out += Format(".%u", array[i]);
}

bool ConvertToIpAddressFromOid(std::string& out, const std::uint32_t* array, int n, int from, int to) {
  LogConverterEntry("ConvertToIpAddressFromOid");
  out.clear();
  if (!array || from < 0 || to > n || from >= to) return false;
  for (int i = from; i < to; ++i) out += Format(i == from ? "%u" : ".%u", array[i]);
  return true;
}

std::uint8_t ReallocateAndSetOID(OidArray& target, const std::uint32_t* source, int n) {
  LogConverterEntry("ReallocateAndSetOID");
  try {
    SetNOid(target, source, n);
    return STORE_SUCCESS;
  } catch (const std::bad_alloc&) {
    target.clear();
    LogError("Unable to allocate memory");
    return STORE_NO_MEMORY;
  }
}

std::optional<std::string> ConvertToStringFromDateTime(const std::uint8_t* octets, int& length) {
  LogConverterEntry("ConvertToStringFromDateTime");
  if (!octets || (length != 8 && length != 11)) return std::nullopt;
  std::optional<std::string> text = WithoutThrowing([&]() -> std::optional<std::string> {
    const int year = octets[0] << 8 | octets[1];
    if (length == 8)
      return Format("%d-%d-%d,%d:%d:%d.%d", year, octets[2], octets[3], octets[4], octets[5], octets[6], octets[7]);
    return Format("%d-%d-%d,%d:%d:%d.%d,%c%d:%d", year, octets[2], octets[3], octets[4], octets[5], octets[6],
                  octets[7], octets[8], octets[9], octets[10]);
  });
  if (!text) return text;
  length = static_cast<int>(text->size());
  LogDebug("The retVal is %s\n", text->c_str());
  return text;
}

std::optional<std::vector<std::uint8_t>> ConvertToDateTimeFromString(const char* text, int& length) {
  LogConverterEntry("ConvertToDateTimeFromString");
  if (!text) return std::nullopt;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, deci = 0, utcHours = 0, utcMinutes = 0;
  char direction = 0;
  const int fields = Scan(text, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d", &year, &month, &day, &hour, &minute, &second, &deci,
                          &direction, &utcHours, &utcMinutes);
  if (fields != 7 && fields != 10) return std::nullopt;
  const bool octetsFit = year >= 0 && year <= 0xFFFF && [](std::initializer_list<int> values) {
    for (int v : values)
      if (v < 0 || v > 255) return false;
    return true;
  }({month, day, hour, minute, second, deci, utcHours, utcMinutes});
  if (!octetsFit) return std::nullopt;
  return WithoutThrowing([&]() -> std::optional<std::vector<std::uint8_t>> {
    std::vector<std::uint8_t> octets = {static_cast<std::uint8_t>(year >> 8), static_cast<std::uint8_t>(year),
                                        static_cast<std::uint8_t>(month),     static_cast<std::uint8_t>(day),
                                        static_cast<std::uint8_t>(hour),      static_cast<std::uint8_t>(minute),
                                        static_cast<std::uint8_t>(second),    static_cast<std::uint8_t>(deci)};
    if (fields == 10) {
      octets.push_back(static_cast<std::uint8_t>(direction));
      octets.push_back(static_cast<std::uint8_t>(utcHours));
      octets.push_back(static_cast<std::uint8_t>(utcMinutes));
    }
    length = static_cast<int>(octets.size());
    return octets;
  });
}

void ConvertToCounter64FromULongLong(std::uint64_t value, Counter64& out) {
  LogConverterEntry("ConvertToCounter64FromULongLong");
  out.high = static_cast<std::uint32_t>(value >> 32);
  out.low = static_cast<std::uint32_t>(value);
}

std::uint64_t ConvertToULongLongFromCounter64(const Counter64& counter) {
  LogConverterEntry("ConvertToULongLongFromCounter64");
  return static_cast<std::uint64_t>(counter.high) << 32 | counter.low;
}

void ConvertToCounter64(Counter64& out, const std::uint8_t* octets, int len) {
  LogConverterEntry("ConvertToCounter64");
  out = Counter64{};
  if (!octets || len <= 0) return;
  if (len == 9) {
    ++octets;
    --len;
  }
  if (len > 8) {
    octets += len - 8;
    len = 8;
  }
  std::uint64_t value = 0;
  for (int i = 0; i < len; ++i) value = value << 8 | octets[i];
  ConvertToCounter64FromULongLong(value, out);
}

std::int32_t ConvertToInteger(const std::uint8_t* octets, int len) {
  LogConverterEntry("ConvertToInteger");
  if (!octets || len > 4) return -1;
  if (len <= 0) return 0;
  std::uint32_t value = octets[0] & 0x80 ? 0xFFFFFFFFu : 0u;
  for (int i = 0; i < len; ++i) value = value << 8 | octets[i];
  return static_cast<std::int32_t>(value);
}

}  // namespace kv
