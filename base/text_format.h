#pragma once
// printf-style formatting into owned text, checked by the compiler, and views
// of texts that may be null.

#include <cstdarg>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define KV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KV_PRINTF(fmt, args)
#endif

namespace kv {

// The whole formatted text, however long.
std::string Format(const char* format, ...) KV_PRINTF(1, 2);
std::string FormatV(const char* format, std::va_list args) KV_PRINTF(1, 0);

// A null text is the empty view: for the interfaces that take views, a
// missing name is the empty name.
inline std::string_view Sv(const char* text) { return text ? std::string_view(text) : std::string_view(); }
inline std::u16string_view Sv(const char16_t* text) { return text ? std::u16string_view(text) : std::u16string_view(); }

}  // namespace kv
