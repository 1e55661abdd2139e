#pragma once
// Where a Windows path of the program lies in the machine image. Every path
// maps inside the image: "X:\a\b" is drive_x/a/b; a relative path is taken
// from the machine's current directory and a root-relative one ("\a", "/a")
// on its drive; "." and ".." are resolved on the text and never climb above
// a drive's root. A path on another computer ("\\server\share\...") is not
// on this one, and a symbolic link inside the image is followed only where
// it leads onto one of the image's drives: never out of the image, nor to
// the machine's own files beside the drives. Windows' limits on names and
// paths hold as they hold for the agent, which is not long-path aware.

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kv::posix {

// The network path was not found: no server answers on this machine.
inline constexpr DWORD ERROR_BAD_NETPATH = 53;

// The host path of a Windows path: ERROR_SUCCESS; ERROR_BAD_NETPATH for a
// UNC path; ERROR_ACCESS_DENIED when a symbolic link on the way leads off
// the image's drives (or nowhere); ERROR_PATH_NOT_FOUND for an empty path or
// a device path; ERROR_INVALID_NAME for a name longer than 255 characters or
// with a character Windows does not allow in names (<>:"|?* and controls);
// ERROR_FILENAME_EXCED_RANGE (206) for a path of MAX_PATH (260) characters
// or more, 32767 for a "\\?\" path. Lengths count UTF-16 code units.
// Components that do not exist with their exact name are matched without
// regard to case. The time taken grows with the path's length, not with its
// square.
DWORD MapImagePath(std::string_view path, std::string& host);

}  // namespace kv::posix
