#pragma once
// A registry key held open across several reads and writes, with the view it
// was opened in, so that keys opened below it can ask for the same view. The
// key closes when the object goes.

#include <string_view>

#include "platform/registry.h"

namespace kv {

class RegistryKeyHandle {
 public:
  RegistryKeyHandle() = default;
  RegistryKeyHandle(const RegistryKeyHandle&) = delete;
  RegistryKeyHandle& operator=(const RegistryKeyHandle&) = delete;
  // Closing fails only for a key that is not open.
  ~RegistryKeyHandle() { (void)closeKey(); }

  [[nodiscard]] LONG openKey(HKEY hive, const char* path, DWORD access);
  // The same with a wide path, for callers that hold one.
  [[nodiscard]] LONG openKey(HKEY hive, std::u16string_view path, DWORD access);
  LONG closeKey();
  [[nodiscard]] LONG createKey(HKEY hive, const char* path, const char* keyClass, DWORD options, DWORD access,
                               const void* security, DWORD* disposition);
  [[nodiscard]] LONG queryDword(const char* name, DWORD& value) const;
  // size: in, the buffer's size in bytes; out, the bytes read.
  [[nodiscard]] LONG queryString(const char* name, char* buffer, DWORD& size) const;
  [[nodiscard]] LONG setString(const char* name, const char* text, DWORD type) const;
  [[nodiscard]] LONG setDword(const char* name, DWORD value) const;

  HKEY handle() const { return key_; }
  [[nodiscard]] DWORD viewBits() const { return view_; }

 private:
  // Closes the key held so far and keeps the new one with its view.
  void hold(HKEY key, DWORD access);

  HKEY key_ = nullptr;
  DWORD view_ = 0;
};

}  // namespace kv
