#include "agent/text_operations.h"

#include <cstdio>
#include <cstring>

#include "agent/text_conversion.h"
#include "base/log_writer.h"
#include "platform/unicode.h"

namespace kv {
namespace {

// The part after the last separator, or the whole text when there is none.
std::string AfterLast(const char* text, char separator) {
  const char* last = std::strrchr(text, separator);
  return last ? std::string(last + 1) : std::string(text);
}

}  // namespace

std::string ToLowerUtf8(const char* utf8) {
  std::u16string wide;
  (void)ChangeUtf8ToWideStr(utf8, wide);  // a null text lowers to the empty one
  const std::u16string lower = ToLower(wide);
  std::string result;
  (void)ChangeWideToUtf8Str(lower.c_str(), result);  // never null
  return result;
}

std::string ReplaceChar(const char* text, char find, char replacement) {
  std::string result = text ? text : "";
  for (char& c : result) {
    if (c == find) c = replacement;
  }
  return result;
}

std::string ConcatStrings(const char* a, const char* b) {
  std::string result = a ? a : "";
  result += b ? b : "";
  return result;
}

std::optional<std::string> FindAndReplaceWithNoCase(const char* input, const char* oldText, const char* newText) {
  std::printf("FindAndReplaceWithNoCase : Input String : %s \n", LogText(input));
  std::printf("FindAndReplaceWithNoCase : oldString String : %s \n", LogText(oldText));
  std::printf("FindAndReplaceWithNoCase : newString String : %s \n", LogText(newText));

  if (input == nullptr || std::strlen(input) <= 1) {
    std::printf("FindAndReplaceWithNoCase : The input string is either NULL or empty string \n");
    if (input == nullptr) return std::nullopt;
    return std::string(input);
  }
  if (oldText == nullptr || std::strlen(oldText) <= 1) {
    std::printf("FindAndReplaceWithNoCase : The string to find is either NULL or empty string \n");
    return std::string(input);
  }
  // A missing new text replaces the old text by nothing.
  const char* replacement = newText ? newText : "";
  if (EqualsNoCase(std::string_view(oldText), std::string_view(replacement))) {
    std::printf(
        "FindAndReplaceWithNoCase : Both the old string and new strings are same , we are sending the input "
        "string as output ..\n");
    return std::string(input);
  }

  // The search runs on a lower-cased copy of the same UTF-16 text: the case
  // mapping keeps one code unit per code unit, so a position found in the
  // search copy is the same character in the result.
  std::u16string result = Utf8ToUtf16(input);
  std::u16string search = ToLower(result);
  const std::u16string oldLower = ToLower(Utf8ToUtf16(oldText));
  const std::u16string inserted = Utf8ToUtf16(replacement);
  const std::u16string insertedLower = ToLower(inserted);

  std::size_t position = search.find(oldLower);
  while (position != std::u16string::npos) {
    result.replace(position, oldLower.size(), inserted);
    search.replace(position, oldLower.size(), insertedLower);
    // Resume after the inserted text, so a new text that contains the old
    // text is not searched again.
    position = search.find(oldLower, position + inserted.size());
  }
  return Utf16ToUtf8(result);
}

std::optional<std::string> GetLastFileName(const char* path) {
  if (path == nullptr) return std::nullopt;
  LogDebug("GetLastFileName Function Called with %s...!\n", path);
  return AfterLast(path, '\\');
}

std::optional<std::string> GetLastUrlFileName(const char* urlPath) {
  if (urlPath == nullptr) return std::nullopt;
  LogDebug("GetLastUrlFileName Function Called with %s...!\n", urlPath);
  return AfterLast(urlPath, '/');
}

}  // namespace kv
