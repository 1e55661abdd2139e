#include "platform/posix/image_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/unique_fd.h"

namespace kv::posix {
namespace {

// Opens without blocking and keeps the descriptor only for a regular file.
int OpenRegular(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, kFileMode);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISREG(st.st_mode) ? errno : EINVAL;
    ::close(fd);
    errno = error;
    return -1;
  }
  // Regular files never block; the flag only matters for what was refused.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

int OpenImageFile(const std::string& path, int flags) { return OpenRegular(path, flags | O_NOFOLLOW); }

int ReadImageFile(const std::string& path, std::string& bytes, bool followLink, struct stat* st) {
  bytes.clear();
  UniqueFd fd(OpenRegular(path, O_RDONLY | (followLink ? 0 : O_NOFOLLOW)));
  if (!fd.valid()) return errno;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) return errno;
  if (st) *st = status;
  bytes.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace kv::posix
