// Dynamic libraries through kernel32: LoadLibraryW, GetProcAddress, FreeLibrary.

#include "platform/library.h"

#include "platform/win32/wide.h"

namespace kv {

void* Library::GetProcAddress(const char* name) const {
  if (!handle_ || !name) {
    win32::Fail(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<::HMODULE>(handle_), name));
}

void Library::Free() {
  if (handle_) ::FreeLibrary(static_cast<::HMODULE>(handle_));
  handle_ = nullptr;
}

DWORD LoadLibraryW(std::u16string_view path, Library* library) {
  if (!library) return win32::Fail(ERROR_INVALID_PARAMETER);
  // No "cannot find the library" dialog box on a computer nobody watches.
  const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const ::HMODULE handle = ::LoadLibraryW(win32::Wide(path).c_str());
  const DWORD code = handle ? ERROR_SUCCESS : win32::LastFailure();
  ::SetErrorMode(previous);
  if (code != ERROR_SUCCESS) return win32::Fail(code);
  library->Free();
  library->handle_ = handle;
  return ERROR_SUCCESS;
}

}  // namespace kv
