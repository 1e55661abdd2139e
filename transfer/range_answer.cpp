#include "transfer/range_answer.h"

#include <charconv>
#include <string>
#include <string_view>

#include "base/text_format.h"
#include "platform/unicode.h"
#include "transfer/http_session.h"

namespace kv {
namespace {

// A decimal number at the front of text, taken off it.
bool TakeNumber(std::string_view& text, std::uint64_t* value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  if (error != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

bool TakeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

struct ContentRange {
  std::uint64_t first = 0, last = 0, length = 0;
};

// "bytes FIRST-LAST/LENGTH", nothing more and nothing less.
bool ReadContentRange(HINTERNET request, ContentRange* range) {
  char16_t text[128] = {};
  DWORD size = sizeof text - sizeof(char16_t);
  if (WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_RANGE, {}, text, &size, nullptr) != ERROR_SUCCESS)
    return false;
  const std::string value = Utf16ToUtf8(text);
  std::string_view rest(value);
  if (rest.substr(0, 6) != "bytes ") return false;
  rest.remove_prefix(6);
  return TakeNumber(rest, &range->first) && TakeChar(rest, '-') && TakeNumber(rest, &range->last) &&
         TakeChar(rest, '/') && TakeNumber(rest, &range->length) && rest.empty();
}

// The body's length as its Content-Length gives it: true when it has none
// or the one given; false for any other length.
bool BodyLengthIs(HINTERNET request, std::uint64_t length) {
  DWORD announced = 0;
  const DWORD rc = QueryContentLength(request, &announced);
  if (rc == ERROR_WINHTTP_HEADER_NOT_FOUND) return true;
  return rc == ERROR_SUCCESS && announced == length;
}

}  // namespace

std::u16string RangeHeader(std::uint64_t first, std::uint64_t last) {
  return Utf8ToUtf16(
      Format("Range: bytes=%llu-%llu", static_cast<unsigned long long>(first), static_cast<unsigned long long>(last)));
}

std::u16string RangeRequestHeaders(const RangeAsked& asked) {
  std::u16string headers = RangeHeader(asked.offset, asked.last);
  if (const std::u16string ifRange = IfRangeHeader(asked.version); !ifRange.empty()) headers += u"\r\n" + ifRange;
  return headers;
}

RangeVerdict JudgeRangeAnswer(HINTERNET request, DWORD status, const RangeAsked& asked) {
  RangeVerdict verdict;
  if (status != 200 && status != 206) return verdict;
  if (!SameVersion(asked.version, ReadResourceVersion(request))) {
    verdict.answer = RangeAnswer::kOtherVersion;
    return verdict;
  }
  if (status == 200) {
    if (!BodyLengthIs(request, asked.length)) return verdict;
    verdict.answer = asked.offset == 0 ? RangeAnswer::kContinues : RangeAnswer::kStartsOver;
    verdict.end = asked.length;
    return verdict;
  }
  ContentRange range;
  if (!ReadContentRange(request, &range)) return verdict;
  const bool fits = range.first == asked.offset && range.last >= range.first && range.last <= asked.last &&
                    range.length == asked.length && range.last < range.length &&
                    BodyLengthIs(request, range.last - range.first + 1);
  if (!fits) return verdict;
  verdict.answer = RangeAnswer::kContinues;
  verdict.end = range.last + 1;
  return verdict;
}

DWORD UnusableRangeCode(DWORD status) {
  return status == 200 || status == 206 ? ERROR_WINHTTP_INVALID_SERVER_RESPONSE : status;
}

}  // namespace kv
