#pragma once
// What each registry backend provides for the portable forwarders of
// registry_forwarders.cpp: the ANSI and wide functions differ only in how
// their names and string data are converted.

#include <string_view>

#include "platform/win_types.h"

namespace kv::registry_backend {

// Opens (or, with create, creates) subKey below key.
[[nodiscard]] LONG OpenOrCreate(HKEY key, std::u16string_view subKey, DWORD access, bool create, HKEY* result, DWORD* disposition);
// narrow: string data is handed out (resp. taken) as UTF-8, as the ANSI
// functions do, rather than as UTF-16.
[[nodiscard]] LONG QueryValue(HKEY key, std::u16string_view name, bool narrow, DWORD* type, BYTE* data, DWORD* size);
[[nodiscard]] LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size, bool narrow);

}  // namespace kv::registry_backend
