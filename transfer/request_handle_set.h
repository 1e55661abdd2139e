#pragma once
// The WinHTTP handles of one request, and the rule by which they are closed:
// request, then connection, then session, each exactly once.

#include <cstdint>
#include <string_view>

#include "platform/http.h"

namespace kv {

// How GetInternetRequestHandle asks: a plain GET, a GET with the set's extra
// header (a Range), or a HEAD.
constexpr std::int32_t REQUEST_MODE_GET = 0;
constexpr std::int32_t REQUEST_MODE_EXTRA_HEADER = 1;
constexpr std::int32_t REQUEST_MODE_HEAD = 2;

// A handle that is not open. The agent has always marked it with -1 rather
// than null, and a closed handle goes back to it.
inline HINTERNET InvalidHttpHandle() { return reinterpret_cast<HINTERNET>(~std::uintptr_t{0}); }
inline bool IsOpenHttpHandle(HINTERNET handle) { return handle != InvalidHttpHandle() && handle != nullptr; }

struct RequestHandleSet {
  RequestHandleSet() = default;
  RequestHandleSet(const RequestHandleSet&) = delete;
  RequestHandleSet& operator=(const RequestHandleSet&) = delete;
  // Closes what is still open, so that no path leaks a handle.
  ~RequestHandleSet();

  HINTERNET hSession = InvalidHttpHandle();
  HINTERNET hConnect = InvalidHttpHandle();
  HINTERNET hRequest = InvalidHttpHandle();
  std::int32_t requestMode = REQUEST_MODE_GET;
  std::u16string_view extraHeader;  // borrowed; used in REQUEST_MODE_EXTRA_HEADER
  std::int32_t httpStatus = 0;      // 0 until a response was read
};

// Closes the open handles of the set, a failure logged at DEBUG; the closing
// goes on.
void CloseRequestHandleSet(RequestHandleSet& set);
// The same for an operation that reports a failed close at ERROR under its
// own name, with the WinHTTP text of the code.
void CloseRequestHandleSet(RequestHandleSet& set, const char* operation);

}  // namespace kv
