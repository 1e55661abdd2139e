#pragma once
// Where a Windows path of the program lies in the machine image. Every path
// maps inside the image: "X:\a\b" is drive_x/a/b; a relative path is taken
// from the machine's current directory and a root-relative one ("\a", "/a")
// on its drive; "." and ".." are resolved on the text and never climb above
// a drive's root. A path on another computer ("\\server\share\...") is not
// on this one, and a symbolic link inside the image that leads out of it is
// not followed.

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kv::posix {

// The network path was not found: no server answers on this machine.
inline constexpr DWORD ERROR_BAD_NETPATH = 53;

// The host path of a Windows path: ERROR_SUCCESS; ERROR_BAD_NETPATH for a
// UNC path; ERROR_ACCESS_DENIED when a symbolic link on the way leads out of
// the image (or nowhere); ERROR_PATH_NOT_FOUND for an empty path or a device
// path. Components that do not exist with their exact name are matched
// without regard to case.
DWORD MapImagePath(std::string_view path, std::string& host);

}  // namespace kv::posix
