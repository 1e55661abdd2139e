// HTTP sessions forwarded to WinHTTP itself: the seam is WinHTTP's own
// synchronous API, so each call hands its arguments over as they are, the
// texts as wide strings, and answers with WinHTTP's result or last error.
// What every backend keeps alike is set where WinHTTP's default differs:
// redirects are handed to the caller rather than followed.

#include "platform/http.h"

#include "platform/win32/wide.h"

// After wide.h: <windows.h> comes first, and the seam's names stay the seam's.
#include <winhttp.h>

#include <vector>

namespace kv {
namespace {

using win32::Fail;
using win32::LastFailure;
using win32::Wide;

::HINTERNET Native(HINTERNET handle) { return reinterpret_cast<::HINTERNET>(handle); }
HINTERNET Seam(::HINTERNET handle) { return reinterpret_cast<HINTERNET>(handle); }

// A WinHTTP call that answers with a BOOL.
DWORD Answer(BOOL done) { return done ? ERROR_SUCCESS : LastFailure(); }

// The same for the calls that wait on the server. Windows' WinHTTP reports a
// time-out or a dropped line with its own codes; Wine's lets the socket's code
// through (WSAETIMEDOUT for a stalled body), which the callers, retrying only
// on ERROR_WINHTTP_TIMEOUT, would take for a final failure.
DWORD AnswerFromServer(BOOL done) {
  if (done) return ERROR_SUCCESS;
  const DWORD failure = LastFailure();
  switch (failure) {
    case WSAETIMEDOUT: return Fail(ERROR_WINHTTP_TIMEOUT);
    case WSAECONNRESET:
    case WSAECONNABORTED: return Fail(ERROR_WINHTTP_CONNECTION_ERROR);
    default: return failure;
  }
}

// Optional texts: empty means "none", which WinHTTP takes as a null pointer.
struct OptionalWide {
  explicit OptionalWide(std::u16string_view text) : text_(Wide(text)), given_(!text.empty()) {}
  LPCWSTR get() const { return given_ ? text_.c_str() : nullptr; }

 private:
  std::wstring text_;
  bool given_;
};

}  // namespace

DWORD WinHttpOpen(std::u16string_view userAgent, DWORD accessType, std::u16string_view proxyName,
                  std::u16string_view proxyBypass, DWORD flags, HINTERNET* session) {
  if (!session) return Fail(ERROR_INVALID_PARAMETER);
  *session = nullptr;
  if (flags != 0) return Fail(ERROR_INVALID_PARAMETER);  // synchronous sessions only
  const OptionalWide agent(userAgent), proxy(proxyName), bypass(proxyBypass);
  const ::HINTERNET opened = ::WinHttpOpen(agent.get(), accessType, proxy.get(), bypass.get(), 0);
  if (!opened) return LastFailure();
  *session = Seam(opened);
  return ERROR_SUCCESS;
}

DWORD WinHttpConnect(HINTERNET session, std::u16string_view serverName, INTERNET_PORT port, HINTERNET* connection) {
  if (!connection) return Fail(ERROR_INVALID_PARAMETER);
  *connection = nullptr;
  const ::HINTERNET opened = ::WinHttpConnect(Native(session), Wide(serverName).c_str(), port, 0);
  if (!opened) return LastFailure();
  *connection = Seam(opened);
  return ERROR_SUCCESS;
}

DWORD WinHttpOpenRequest(HINTERNET connection, std::u16string_view verb, std::u16string_view objectName,
                         std::u16string_view version, std::u16string_view referrer,
                         const std::vector<std::u16string_view>& acceptTypes, DWORD flags, HINTERNET* request) {
  if (!request) return Fail(ERROR_INVALID_PARAMETER);
  *request = nullptr;
  const OptionalWide wideVerb(verb), wideVersion(version), wideReferrer(referrer);
  std::vector<std::wstring> types;
  for (const auto type : acceptTypes)
    if (!type.empty()) types.push_back(Wide(type));
  std::vector<LPCWSTR> typeList;
  for (const auto& type : types) typeList.push_back(type.c_str());
  typeList.push_back(nullptr);
  const ::HINTERNET opened =
      ::WinHttpOpenRequest(Native(connection), wideVerb.get(), Wide(objectName).c_str(), wideVersion.get(),
                           wideReferrer.get(), types.empty() ? nullptr : typeList.data(), flags);
  if (!opened) return LastFailure();
  // A 3xx answer is the caller's to see, as on every backend.
  ::DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  if (!::WinHttpSetOption(opened, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy)) {
    const DWORD failure = LastFailure();
    ::WinHttpCloseHandle(opened);
    return Fail(failure);
  }
  *request = Seam(opened);
  return ERROR_SUCCESS;
}

DWORD WinHttpAddRequestHeaders(HINTERNET request, std::u16string_view headers, DWORD modifiers) {
  const std::wstring text = Wide(headers);
  return Answer(::WinHttpAddRequestHeaders(Native(request), text.c_str(), static_cast<::DWORD>(-1), modifiers));
}

DWORD WinHttpSetOption(HINTERNET handle, DWORD option, DWORD value) {
  ::DWORD number = value;
  return Answer(::WinHttpSetOption(Native(handle), option, &number, sizeof number));
}

DWORD WinHttpSetOption(HINTERNET handle, DWORD option, std::u16string_view text) {
  std::wstring wide = Wide(text);
  // Texts are given with their length in characters.
  return Answer(::WinHttpSetOption(Native(handle), option, wide.data(), static_cast<::DWORD>(wide.size())));
}

DWORD WinHttpQueryOption(HINTERNET handle, DWORD option, DWORD* value) {
  if (!value) return Fail(ERROR_INVALID_PARAMETER);
  ::DWORD number = 0;
  ::DWORD size = sizeof number;
  if (!::WinHttpQueryOption(Native(handle), option, &number, &size)) return LastFailure();
  *value = number;
  return ERROR_SUCCESS;
}

DWORD WinHttpQueryOption(HINTERNET handle, DWORD option, std::u16string* text) {
  if (!text) return Fail(ERROR_INVALID_PARAMETER);
  ::DWORD size = 0;
  ::WinHttpQueryOption(Native(handle), option, nullptr, &size);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return LastFailure();
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (!::WinHttpQueryOption(Native(handle), option, value.data(), &size)) return LastFailure();
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  *text = win32::Utf16(value);
  return ERROR_SUCCESS;
}

DWORD WinHttpSendRequest(HINTERNET request, std::u16string_view headers, const void* optional, DWORD optionalLength,
                         DWORD totalLength) {
  const std::wstring extra = Wide(headers);
  return Answer(::WinHttpSendRequest(Native(request), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : extra.c_str(),
                                     headers.empty() ? 0 : static_cast<::DWORD>(-1), const_cast<void*>(optional),
                                     optionalLength, totalLength, 0));
}

DWORD WinHttpWriteData(HINTERNET request, const void* data, DWORD length, DWORD* written) {
  if (!written) return Fail(ERROR_INVALID_PARAMETER);
  ::DWORD done = 0;
  const DWORD rc = Answer(::WinHttpWriteData(Native(request), data, length, &done));
  *written = done;
  return rc;
}

DWORD WinHttpReceiveResponse(HINTERNET request) { return AnswerFromServer(::WinHttpReceiveResponse(Native(request), nullptr)); }

DWORD WinHttpQueryHeaders(HINTERNET request, DWORD infoLevel, std::u16string_view name, void* buffer,
                          DWORD* bufferLength, DWORD* index) {
  if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
  const std::wstring wideName = Wide(name);
  ::DWORD length = *bufferLength;
  ::DWORD at = index ? *index : 0;
  const BOOL done =
      ::WinHttpQueryHeaders(Native(request), infoLevel, name.empty() ? WINHTTP_HEADER_NAME_BY_INDEX : wideName.c_str(),
                            buffer, &length, index ? &at : WINHTTP_NO_HEADER_INDEX);
  const DWORD rc = Answer(done);
  *bufferLength = length;
  if (index) *index = at;
  return rc;
}

DWORD WinHttpQueryDataAvailable(HINTERNET request, DWORD* available) {
  if (!available) return Fail(ERROR_INVALID_PARAMETER);
  ::DWORD count = 0;
  const DWORD rc = AnswerFromServer(::WinHttpQueryDataAvailable(Native(request), &count));
  *available = count;
  return rc;
}

DWORD WinHttpReadData(HINTERNET request, void* buffer, DWORD length, DWORD* read) {
  if (!read) return Fail(ERROR_INVALID_PARAMETER);
  ::DWORD count = 0;
  const DWORD rc = AnswerFromServer(::WinHttpReadData(Native(request), buffer, length, &count));
  *read = count;
  return rc;
}

DWORD WinHttpCloseHandle(HINTERNET handle) { return Answer(::WinHttpCloseHandle(Native(handle))); }

// WinHTTP answers with its code alone, and waives certificate checks
// without telling which.
std::string WinHttpLastFailureDetail() { return {}; }

void SetWaivedCertificateObserver(WaivedCertificateObserver) {}

}  // namespace kv
