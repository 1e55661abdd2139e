#pragma once
// Small file and system questions the agent asks: whether a file is there,
// making a file's directory, file sizes, the Windows family, time in seconds.

#include <cstdint>
#include <string>

#include "platform/system.h"
#include "platform/win_types.h"

namespace kv {

// Windows families of GetOsFamily.
constexpr int OS_FAMILY_2000 = 0;
constexpr int OS_FAMILY_XP_2003 = 1;
constexpr int OS_FAMILY_VISTA = 2;
constexpr int OS_FAMILY_7 = 3;
constexpr int OS_FAMILY_8 = 4;
constexpr int OS_FAMILY_8_1 = 5;
constexpr int OS_FAMILY_10 = 6;
constexpr int OS_FAMILY_NEWER = 7;

// True when the file can be opened and holds at least one byte.
[[nodiscard]] bool IsFileExist(const char* path);
// 0 when a file matches the path or pattern, 2 when none does, 13 for null.
[[nodiscard]] DWORD CheckFileExists(const char16_t* pathOrPattern);
// Creates the directory of a file path with its parents: 0 or an error code.
[[nodiscard]] DWORD CreateFolder(const char16_t* filePath);
[[nodiscard]] bool GetFileSize64(const char* path, std::int64_t* size);
[[nodiscard]] int GetOsFamily();
[[nodiscard]] int isWin7orWin8();
// Milliseconds since 1970-01-01 00:00 UTC, as a number and as decimal text
// (the text is also shown on standard output).
std::int64_t GetCurrentTimeMillis();
std::u16string GetCurrentTimeMillisText();
// The UTC instant of a local date and time, in seconds since 1970.
std::int64_t GetTimeInSeconds(const SystemTime& localTime);

}  // namespace kv
