// Texts for error codes as they go into the log: the system's message where
// it has one, else the agent's own table.

#include "agent/error_texts.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "base/log_writer.h"
#include "platform/ascii.h"
#include "platform/last_error.h"
#include "platform/system.h"
#include "platform/unicode.h"

namespace kv {
namespace {

struct BuiltinError {
  DWORD code;
  const char* text;
};

// Codes of installers and of the agent's own operations that the system has
// no message for.
constexpr BuiltinError kBuiltinErrors[] = {
    {1508, "The requested operation is successful. Changes will not be effective until the browser is rebooted."},
    {10001, "kv.db.agent.config.script.powerscript_notfound"},
    {10002, "kv.db.agent.config.run_as_admin.credentials_not_available"},
    {10003, "kv.db.agent.config.returned_zero_failure"},
    {17021, "OfficeUpdateError: Creating temp folder."},
    {17023, "OfficeUpdateError: User cancelled installation."},
    {17024, "OfficeUpdateError: Creating folder failed."},
    {17025, "OfficeUpdateError: Patch already installed."},
    {17026, "OfficeUpdateError: Patch already installed to admin installation."},
    {17027, "OfficeUpdateError: Installation source requires full file update."},
    {17028, "OfficeUpdateError: No product installed for contained patch."},
    {17029, "OfficeUpdateError: Patch failed to install."},
    {17030, "OfficeUpdateError: Invalid CIF format."},
    {17031, "OfficeUpdateError: Invalid baseline."},
    {17034, "OfficeUpdateError: Required patch does not apply to the machine."},
    {17038,
     "OfficeUpdateError: You do not have sufficient privileges to complete this installation for all users of the "
     "machine. Log on as administrator and then retry this installation."},
    {17044, "OfficeUpdateError: Installer was unable to run detection for this package."},
    {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
    {17301, "OfficeUpdateError: General Detection error"},
    {17302, "OfficeUpdateError: Applying patch."},
    {17303, "OfficeUpdateError: Extracting file."},
    {20001, "Patch update delayed since application is used by another process"},
    {0x240006, "Patch already Installed and the changes will not be effective until the system is rebooted."},
    {0x240007, "Patch already Uninstalled and the changes will not be effective until the system is rebooted."},
};

std::string TrimBlanks(std::string_view text) { return std::string(ascii::Trim(text, ascii::IsWhiteSpace<char>)); }

// The system's text of the code in UTF-8, else the agent's own.
std::string MessageText(DWORD code, bool singleLine) {
  if (const auto text = FormatSystemMessage(code, singleLine)) return Utf16ToUtf8(*text);
  return GetBuiltinErrorText(code);
}

// Success is news, anything else an error.
void LogCodeText(DWORD code, const std::string& text) {
  if (code == 0) {
    LogInfo("Message : %s \n", text.c_str());
  } else {
    LogError("Error Code : %d , Error Message : %s \n", static_cast<int>(code), text.c_str());
  }
}

}  // namespace

std::string GetErrorCodeText(DWORD code) {
  // The single-line form: the maximum-width flag of the system's formatter.
  std::string text = MessageText(code, true);
  LogCodeText(code, text);
  return text;
}

void LogErrorCodeText(DWORD code) { GetErrorCodeText(code); }

int LogErrorCodeTextA(DWORD code) {
  LogCodeText(code, TrimBlanks(MessageText(code, false)));
  return 0;
}

DWORD LogFailure(DWORD code, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string line = FormatV(format, args);
  va_end(args);
  LogError("%s", line.c_str());
  LogErrorCodeText(code);
  return code;
}

void NoteFailure(LONG code, const char* what) {
  if (code != ERROR_SUCCESS) LogFailure(static_cast<DWORD>(code), "Could not %s.\n", what);
}

void LogLastErrorText() {
  const DWORD code = GetLastError();
  const auto text = FormatSystemMessage(code, false);
  const std::string utf8 = text ? Utf16ToUtf8(*text) : std::string();
  LogError(" Error Message: %s\n", utf8.c_str());
}

std::string GetBuiltinErrorText(DWORD code) {
  for (const auto& entry : kBuiltinErrors) {
    if (entry.code == code) return entry.text;
  }
  char text[64];
  std::snprintf(text, sizeof text, "Unknown Error. Code : %d", static_cast<int>(code));
  return text;
}

}  // namespace kv
