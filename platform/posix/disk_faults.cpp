#include "platform/posix/disk_faults.h"

#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "platform/posix/machine.h"

namespace kv::posix {
namespace {

struct WriteFault {
  std::string file;
  int error = 0;
  std::size_t after = 0;
};

// The faults of the current image, read when the image changes (each image
// the process uses stays in memory, so its address names it).
const std::vector<WriteFault>& Faults() {
  static std::mutex lock;
  static const MachineImage* read = nullptr;
  static std::vector<WriteFault> faults;
  const MachineImage& image = Machine();
  std::lock_guard guard(lock);
  if (read != &image) {
    read = &image;
    faults.clear();
    const nlohmann::json& list = MachineValue("/disk/write_faults");
    if (list.is_array()) {
      for (const nlohmann::json& entry : list) {
        WriteFault fault;
        fault.file = entry.value("file", "");
        fault.error = entry.value("error", "ENOSPC") == "EIO" ? EIO : ENOSPC;
        fault.after = entry.value("after", std::size_t{0});
        if (!fault.file.empty()) faults.push_back(std::move(fault));
      }
    }
  }
  return faults;
}

bool NamesFile(const std::string& hostPath, const std::string& file) {
  if (hostPath.size() < file.size() || hostPath.compare(hostPath.size() - file.size(), file.size(), file) != 0)
    return false;
  return hostPath.size() == file.size() || hostPath[hostPath.size() - file.size() - 1] == '/';
}

const WriteFault* FaultOf(const std::string& hostPath) {
  for (const WriteFault& fault : Faults())
    if (NamesFile(hostPath, fault.file)) return &fault;
  return nullptr;
}

// Takes what may go into a file with a fault from its allowance: the bytes
// of size that may be written.
std::size_t Allowance(const std::string& hostPath, const WriteFault& fault, std::size_t size) {
  static std::mutex lock;
  static std::map<std::string, std::size_t> written;
  std::lock_guard guard(lock);
  std::size_t& so = written[hostPath];
  const std::size_t left = so < fault.after ? fault.after - so : 0;
  const std::size_t room = left < size ? left : size;
  so += room;
  return room;
}

std::string PathOf(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[4096];
  const ssize_t length = ::readlink(link, path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

ssize_t CookieWrite(void* cookie, const char* data, std::size_t size) {
  auto* stream = static_cast<std::pair<int, std::string>*>(cookie);
  std::size_t done = 0;
  const int error = WriteAll(stream->first, data, size, &done, stream->second);
  if (error) {
    errno = error;
    return done > 0 ? static_cast<ssize_t>(done) : -1;
  }
  return static_cast<ssize_t>(done);
}
ssize_t CookieRead(void* cookie, char* data, std::size_t size) {
  return ::read(static_cast<std::pair<int, std::string>*>(cookie)->first, data, size);
}
int CookieSeek(void* cookie, off64_t* offset, int whence) {
  const off64_t at = ::lseek64(static_cast<std::pair<int, std::string>*>(cookie)->first, *offset, whence);
  if (at < 0) return -1;
  *offset = at;
  return 0;
}
int CookieClose(void* cookie) {
  auto* stream = static_cast<std::pair<int, std::string>*>(cookie);
  const int result = ::close(stream->first);
  delete stream;
  return result;
}

}  // namespace

bool HasWriteFault(const std::string& hostPath) { return !Faults().empty() && FaultOf(hostPath); }

int WriteAll(int fd, const void* data, std::size_t size, std::size_t* done, const std::string& hostPath) {
  *done = 0;
  std::size_t room = size;
  int fault = 0;
  if (!Faults().empty()) {
    const std::string path = hostPath.empty() ? PathOf(fd) : hostPath;
    if (const WriteFault* found = FaultOf(path)) {
      room = Allowance(path, *found, size);
      if (room < size) fault = found->error;
    }
  }
  const auto* in = static_cast<const char*>(data);
  while (*done < room) {
    const ssize_t n = ::write(fd, in + *done, room - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    *done += static_cast<std::size_t>(n);
  }
  return fault;
}

std::FILE* FaultingStream(int fd, const char* mode, const std::string& hostPath) {
  auto* cookie = new (std::nothrow) std::pair<int, std::string>(fd, hostPath);
  if (!cookie) return nullptr;
  std::FILE* stream =
      ::fopencookie(cookie, mode, cookie_io_functions_t{CookieRead, CookieWrite, CookieSeek, CookieClose});
  if (!stream) delete cookie;
  return stream;
}

}  // namespace kv::posix
