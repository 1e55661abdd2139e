#include "agent/file_system_helpers.h"

#include <cstdio>
#include <optional>

#include "agent/error_texts.h"
#include "agent/os_naming.h"
#include "agent/text_conversion.h"
#include "agent/text_operations.h"
#include "base/log_writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/system_info.h"
#include "platform/unicode.h"

namespace kv {
namespace {

constexpr std::int64_t kFileTimeUnitsPerSecond = 10000000;

std::int64_t SecondsSince1970(const SystemTime& time) {
  static const std::int64_t k1970 =
      SystemTimeToFileTime(SystemTime{1970, 1, 4, 1, 0, 0, 0, 0}) / kFileTimeUnitsPerSecond;
  return SystemTimeToFileTime(time) / kFileTimeUnitsPerSecond - k1970;
}

// A drive letter with its colon and backslash at most: nothing to create.
bool IsDriveOnly(const std::string& path) { return !path.empty() && path.size() <= 3; }

DWORD DriveLetterGiven() {
  LogInfo("CreateFolder : The Drive letter Given.hence it cannot be created \n");
  return ERROR_ALREADY_EXISTS;
}

}  // namespace

bool IsFileExist(const char* path) {
  FileHandle file;
  const DWORD rc =
      path ? CreateFile(path, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, &file) : ERROR_INVALID_PARAMETER;
  if (rc != ERROR_SUCCESS || GetLastError() == ERROR_FILE_NOT_FOUND) {
    LogDebug("IsFileExist : The File Name %s is not found %d\n", LogText(path), static_cast<int>(GetLastError()));
    return false;
  }
  std::int64_t size = 0;
  file.GetSize(&size);
  LogDebug("IsFileExist : The File %s size is given by : %d\n", path, static_cast<int>(size));
  if (size == 0) {
    LogDebug("IsFileExist : The required file (%s) size is 0 bytes. Hence returning file not found.\n", path);
    return false;
  }
  return true;
}

DWORD CheckFileExists(const char16_t* pathOrPattern) {
  LogDebug("@@@@@@@@ Inside CheckFileExists Method @@@@@@@@ \n");
  if (!pathOrPattern) return ERROR_INVALID_DATA;
  const std::string pattern = Utf16ToUtf8(pathOrPattern);
  LogDebug("FileName to search -> %s \n", pattern.c_str());
  FindHandle search;
  std::string name;
  const bool found = FindFirstFile(pattern, &search, &name) == ERROR_SUCCESS;
  if (!found) LogError("CheckFileExists -> Invalid File Handle. %d \n", static_cast<int>(GetLastError()));
  LogDebug("@@@@@@@@ End Of CheckFileExists Method @@@@@@@@ \n");
  return found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD CreateFolder(const char16_t* filePath) {
  std::string path;
  LogDebug("CreateFolder : CreateFolder function called with %s\n",
           filePath ? Utf16ToUtf8(filePath).c_str() : kNullLogText);
  if (!filePath || !ChangeWideToUtf8Str(filePath, path)) {
    LogError("CreateFolder : The directory to create is NULL . \n");
    return ERROR_INVALID_DATA;
  }
  if (IsDriveOnly(path)) return DriveLetterGiven();

  // The directory is what stands before the path's last element.
  const std::string last = GetLastFileName(path.c_str()).value_or("");
  const std::string directory = path.substr(0, path.find(last));
  if (IsDriveOnly(directory)) return DriveLetterGiven();
  if (!directory.empty()) path = directory;

  LogInfo("CreateFolder : The Directory to create is %s \n", path.c_str());
  DWORD rc = CreateDirectoryTree(path);
  if (rc == ERROR_ALREADY_EXISTS) rc = ERROR_SUCCESS;
  LogDebug("CreateFolder function returns Error code %d \n", static_cast<int>(rc));
  if (rc != ERROR_SUCCESS) LogErrorCodeText(rc);
  return rc;
}

bool GetFileSize64(const char* path, std::int64_t* size) {
  if (!path || !size) return false;
  *size = 0;
  FileHandle file;
  if (CreateFile(path, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, &file) != ERROR_SUCCESS) return false;
  return file.GetSize(size) == ERROR_SUCCESS;
}

int GetOsFamily() {
  OsVersionInfo v;
  if (const DWORD rc = GetVersionEx(&v, true); rc != ERROR_SUCCESS) {
    LogError("GetOsFamily : Unable to find the OSVersion , Errorcode %d \n", static_cast<int>(rc));
    return 1;
  }
  if (v.platformId != 2 || v.majorVersion <= 4) {
    LogError("GetOsFamily :The windows is unable to found . \n");
    return -1;
  }
  if (v.majorVersion == 5) {
    if (v.minorVersion == 0) return OS_FAMILY_2000;
    if (v.minorVersion == 1 || v.minorVersion == 2) return OS_FAMILY_XP_2003;
    return OS_FAMILY_NEWER;
  }
  if (v.majorVersion == 6) {
    switch (v.minorVersion) {
      case 0: return OS_FAMILY_VISTA;
      case 1: return OS_FAMILY_7;
      case 2: return OS_FAMILY_8;
      case 3: return OS_FAMILY_8_1;
      default: return OS_FAMILY_NEWER;
    }
  }
  if (v.majorVersion == 10 && v.minorVersion == 0) return OS_FAMILY_10;
  return OS_FAMILY_NEWER;
}

int isWin7orWin8() {
  const auto name = GetOSNameEx();
  LogDebug("isWin7orWin8 : GetOSName %s\n", LogText(name));
  const int family = GetOsFamily();
  const bool result = family == OS_FAMILY_7 || family == OS_FAMILY_8;
  LogDebug(result ? "isWin7orWin8 : TRUE\n" : "isWin7orWin8 : FALSE\n");
  return result ? 1 : 0;
}

std::int64_t GetCurrentTimeMillis() {
  const SystemTime now = GetSystemTime();
  return SecondsSince1970(now) * 1000 + now.milliseconds;
}

std::u16string GetCurrentTimeMillisText() {
  const std::string text = std::to_string(GetCurrentTimeMillis());
  std::printf("\nTime = %s", text.c_str());
  return Utf8ToUtf16(text);
}

std::int64_t GetTimeInSeconds(const SystemTime& localTime) {
  const std::int64_t seconds = SecondsSince1970(localTime) + GetTimeZoneBias() * 60;
  LogDebug("GetTimeInSeconds : retDate :: %s\n", std::to_string(seconds).c_str());
  LogInfo("GetTimeInSeconds : Time in Second : %d\n", static_cast<int>(seconds));
  return seconds;
}

}  // namespace kv
