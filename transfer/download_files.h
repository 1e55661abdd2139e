#pragma once
// The files a download passes through: their names, reading one back as
// text, and putting a finished one in its place.

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kv {

// The temporary file of a download on the calling thread: beside the
// destination ("<destination><thread id>.tmp") for DOWNLOAD_FILE, else
// "<TEMP>\kv<thread id>.tmp".
std::string TemporaryFileName(int requestType, std::u16string_view destination);

// Whether a download can go to destination (a Windows path): 0, or the code
// that refuses it before anything is fetched: ERROR_INVALID_NAME for no name
// or a name that ends in a separator, ERROR_ACCESS_DENIED for a directory,
// ERROR_PATH_NOT_FOUND where a file stands in place of one of its
// directories, and the system's code for a path it cannot use at all (too
// long, a name it does not allow, another computer's). Logged under the
// operation with the system's text.
[[nodiscard]] DWORD CheckDestination(const char* operation, std::u16string_view destination);

// The file's text as the agent reads text (CR LF read as LF); false when it
// cannot be opened or read to its end.
[[nodiscard]] bool ReadTextFile(const std::string& path, std::string* text);

// Puts a finished file at the destination, replacing what is there: a
// rename where both lie on one volume, else a copy and a delete. 0 or the
// system's error code.
[[nodiscard]] DWORD MoveIntoPlace(const std::string& finished, const std::string& destination);

}  // namespace kv
