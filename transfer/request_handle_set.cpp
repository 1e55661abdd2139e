#include "transfer/request_handle_set.h"

#include "base/log_writer.h"
#include "platform/last_error.h"
#include "transfer/http_errors.h"

namespace kv {
namespace {

// Closes one handle and marks it closed; false when the close failed.
bool CloseOne(HINTERNET& handle, DWORD* code) {
  if (!IsOpenHttpHandle(handle)) return true;
  const DWORD rc = WinHttpCloseHandle(handle);
  handle = InvalidHttpHandle();
  *code = rc == ERROR_SUCCESS ? 0 : GetLastError();
  return rc == ERROR_SUCCESS;
}

template <typename Report>
void CloseAll(RequestHandleSet& set, Report report) {
  DWORD code = 0;
  if (!CloseOne(set.hRequest, &code)) report("hRequest", code);
  if (!CloseOne(set.hConnect, &code)) report("hConnect", code);
  if (!CloseOne(set.hSession, &code)) report("hSession", code);
}

}  // namespace

RequestHandleSet::~RequestHandleSet() { CloseRequestHandleSet(*this); }

void CloseRequestHandleSet(RequestHandleSet& set) {
  CloseAll(set, [](const char* name, DWORD code) {
    LogDebug("Error in WinHttpCloseHandle %s --> %d \n", name, static_cast<int>(code));
  });
}

void CloseRequestHandleSet(RequestHandleSet& set, const char* operation) {
  CloseAll(set, [operation](const char* name, DWORD code) {
    LogError("%s :  Error in WinHttpCloseHandle %s --> %d \n", operation, name, static_cast<int>(code));
    HttpGetLastError(code);
  });
}

}  // namespace kv
