// Conversions between the agent's UTF-8 texts and the UTF-16 texts of the
// wide Windows interfaces. Invalid input sequences become U+FFFD, as the
// system's converters do with flags 0, so a non-null input always converts.

#include "agent/text_conversion.h"

#include "agent/error_texts.h"
#include "base/log_writer.h"
#include "platform/last_error.h"
#include "platform/unicode.h"

namespace kv {
namespace {

// The shared body of the two narrow-to-wide conversions; they differ only in
// their null-input text and whether the input is traced.
bool ConvertToWide(const char* utf8, std::u16string& out, const char* nullInputText, bool traceInput) {
  out.clear();
  if (utf8 == nullptr) {
    LogError("%s", nullInputText);
    return false;
  }
  if (traceInput) LogDebug("UTF String Received:%s\n", utf8);
  out = Utf8ToUtf16(utf8);
  return true;
}

}  // namespace

bool ChangeUtf8ToWideStr(const char* utf8, std::u16string& out) {
  return ConvertToWide(utf8, out, "ChangeUtf8ToWideStr: utf8 is empty! \n", true);
}

bool ChangeToWideStr(const char* utf8, std::u16string& out) {
  return ConvertToWide(utf8, out, "ChangeToWideStr: AnsiString is empty! \n", false);
}

bool ChangeWideToUtf8Str(const char16_t* wide, std::string& out) {
  out.clear();
  if (wide == nullptr) {
    // What the system's converter answers for a missing input.
    SetLastError(ERROR_INVALID_PARAMETER);
    LogLastErrorText();
    return false;
  }
  out = Utf16ToUtf8(wide);
  return true;
}

bool ChangeAnsiToUTF8Str(const char* text, std::string& out) {
  out.clear();
  if (text == nullptr) {
    LogError("ChangeAnsiToUTF8Str: ansiString is empty! \n");
    return false;
  }
  std::u16string wide;
  if (!ChangeToWideStr(text, wide)) return false;
  return ChangeWideToUtf8Str(wide.c_str(), out);
}

}  // namespace kv
