#pragma once
// Dynamic libraries loaded at run time.

#include <string_view>
#include <utility>

#include "platform/win_types.h"

namespace kv {

constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

// The calling convention of Windows' library exports (WINAPI): a function
// pointer to an export must carry it. __stdcall on 32-bit x86 Windows; the
// one convention everywhere else.
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define KV_WINAPI __stdcall
#else
#define KV_WINAPI
#endif

// A loaded library, unloaded when the object goes or on Free.
class Library {
 public:
  Library() = default;
  Library(Library&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Library& operator=(Library&& other) noexcept {
    if (this != &other) {
      Free();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() { Free(); }

  bool IsLoaded() const { return handle_ != nullptr; }
  // The address of an export; null (last error ERROR_PROC_NOT_FOUND) when
  // the library does not export it.
  void* GetProcAddress(const char* name) const;
  void Free();

 private:
  friend DWORD LoadLibraryW(std::u16string_view, Library*);
  void* handle_ = nullptr;
};

// ERROR_MOD_NOT_FOUND when there is no such file, ERROR_BAD_EXE_FORMAT when
// the file is not a library.
[[nodiscard]] DWORD LoadLibraryW(std::u16string_view path, Library* library);

}  // namespace kv
