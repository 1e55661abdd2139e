#pragma once
// Conversions of the network-management value forms the store knows: object
// identifiers (dotted sub-identifiers such as .1.3.6), IP addresses
// (a.b.c.d), 64-bit counters kept as two 32-bit halves, binary date-times of
// 8 or 11 octets, and hexadecimal octets. Every text is bounded by the
// values it holds: nothing is written into a buffer sized by a guess.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/store_results.h"

namespace kv {

using OidArray = std::vector<std::uint32_t>;

struct Counter64 {
  std::uint32_t high = 0;
  std::uint32_t low = 0;
};

// Value of one hexadecimal digit character; any other byte comes back
// unchanged (GetHexValue) or as 0 (ConvertToDecimalFromHexa).
[[nodiscard]] int GetHexValue(int c);
[[nodiscard]] int ConvertToDecimalFromHexa(int c);
// Turns the len characters of text, read as pairs of hexadecimal digits,
// into len / 2 octets written over the start of text.
void ConvertToHexValue(char* text, int len);
// Writes each of the n octets as two nibble values (high, low) into out,
// which has room for 2 * n bytes.
void ConvertToStringFromHex(std::uint8_t* out, const std::uint8_t* octets, int n);

// kind 0: the decimal text of value; kind 1: "TRUE" for non-zero, else
// "FALSE"; other kinds: null.
std::optional<std::string> ToString(std::int64_t value, int kind);
std::optional<std::string> ConvertToStringFromInteger(std::int32_t value);
std::optional<std::string> ConvertToStringFromUnsignedInteger(std::uint32_t value, int* length);

// The dotted text of the sub-identifiers; size is their size in bytes (4 per
// sub-identifier) going in and the text's length coming out.
std::optional<std::string> ConvertToStringFromOID(const std::uint32_t* subIds, int& size);
// "%llu" of the counter's 64-bit value, logged at DEBUG.
std::optional<std::string> ConvertToStringFromCounter64(const Counter64& counter);

// Parses an IP text (a.b.c.d) or an OID text (.1.3.6) into out: the number
// of parts when it is the number the dots call for, -1 for an invalid part
// or a text without dots (logged), 0 otherwise.
[[nodiscard]] int ConvertToOidOrIpFromString(OidArray& out, const char* text, bool isIp);
[[nodiscard]] bool IsValidIPAddress(const char* text, int len);
[[nodiscard]] bool IsValidOid(const char* text, int len);
[[nodiscard]] int GetOidLength(const char* text, int len);
// Sub-identifier by sub-identifier (unsigned), then the shorter first: -1, 0
// or 1.
[[nodiscard]] int CompareOid(const std::uint32_t* a, int na, const std::uint32_t* b, int nb);

// Element-wise copies between sub-identifier arrays and byte strings.
void CopyOid(std::uint32_t* target, const std::uint32_t* source, int n);
void SetNOid(OidArray& target, const std::uint32_t* source, int n);
// Each of the n bytes becomes one sub-identifier.
void CopyStringToOid(std::uint32_t* target, const std::uint8_t* bytes, int n);
// The bytes of a NUL-terminated text, one sub-identifier each; their count.
[[nodiscard]] int CopyStringToOID(OidArray& target, const char* text);
// Each sub-identifier modulo 255 as one byte, then a terminator.
std::string ConvertToCharArray(const std::uint32_t* subIds, int n);
// The first element greater than value, or 0.
std::uint32_t GetNextSubId(std::uint32_t value, const std::uint32_t* array, int n);
// The dotted text (".1.3.6") of n sub-identifiers.
void ConvertToStringFromOid(const std::uint32_t* array, int n, std::string& out);
// The dotted IP text of the elements from .. to - 1 (within the n given).
[[nodiscard]] bool ConvertToIpAddressFromOid(std::string& out, const std::uint32_t* array, int n, int from, int to);
// Replaces target by a copy; 1, or 99 with "Unable to allocate memory".
[[nodiscard]] std::uint8_t ReallocateAndSetOID(OidArray& target, const std::uint32_t* source, int n);

// Binary date-time octets (8 or 11) as "%d-%d-%d,%d:%d:%d.%d" (8) or
// "%d-%d-%d,%d:%d:%d.%d,%c%d:%d" (11); length becomes the text's length.
// Null for any other length.
std::optional<std::string> ConvertToStringFromDateTime(const std::uint8_t* octets, int& length);
// The text back into 8 octets (7 fields) or 11 (10 fields); null otherwise.
std::optional<std::vector<std::uint8_t>> ConvertToDateTimeFromString(const char* text, int& length);

void ConvertToCounter64FromULongLong(std::uint64_t value, Counter64& out);
std::uint64_t ConvertToULongLongFromCounter64(const Counter64& counter);
// Big-endian octets into the two halves: a 9-octet value skips its first
// octet, the last 4 octets go to the low half and up to 4 before them to the
// high half.
void ConvertToCounter64(Counter64& out, const std::uint8_t* octets, int len);
// A big-endian integer of up to 4 octets (the first sign-extended); -1 for
// longer input.
[[nodiscard]] std::int32_t ConvertToInteger(const std::uint8_t* octets, int len);

}  // namespace kv
