#include "platform/library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/unicode.h"

namespace kv {

void* Library::GetProcAddress(const char* name) const {
  void* address = handle_ && name ? dlsym(handle_, name) : nullptr;
  if (!address) SetLastError(ERROR_PROC_NOT_FOUND);
  return address;
}

void Library::Free() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

DWORD LoadLibraryW(std::u16string_view path, Library* library) {
  const std::string hostPath = MapPath(Utf16ToUtf8(path));
  struct stat info {};
  DWORD code = ERROR_SUCCESS;
  if (stat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    code = ERROR_MOD_NOT_FOUND;
  } else if (void* handle = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    library->Free();
    library->handle_ = handle;
  } else {
    code = ERROR_BAD_EXE_FORMAT;
  }
  if (code != ERROR_SUCCESS) SetLastError(code);
  return code;
}

}  // namespace kv
