#pragma once
// What every transfer operation does alike: open a session, a connection and
// a request and configure them (user agent, proxy, TLS protocols,
// certificate tolerance, proxy credentials, time-outs), send with the retry
// rule, and read the response's headers and status.

#include <string>

#include "platform/http.h"
#include "transfer/request_handle_set.h"
#include "transfer/transfer_types.h"

namespace kv {

// The agent's user agent.
constexpr const char16_t* kAgentUserAgent = u"KelvaneAgent";
// Attempts on one request handle before the retry rule gives up.
constexpr int kSendAttempts = 5;
// The pause before a request is sent again after ERROR_WINHTTP_RESEND_REQUEST.
constexpr DWORD kResendPauseMs = 5000;
// WinHTTP's default wait for response bytes, kept where the agent's setting
// would wait for ever (0 or 0xFFFFFFFF).
constexpr DWORD kDefaultReceiveTimeoutMs = 30000;
// The longest wait for the whole head of a response, on every request:
// WinHTTP's documented default, set explicitly so that no backend leaves it
// unbounded and a server that never ends its headers cannot hold a transfer.
constexpr DWORD kResponseHeadTimeoutMs = 90000;

// Logs "<operation> :  Error in <call> --> <code>" at ERROR and the WinHTTP
// text of the code; returns the code.
DWORD LogHttpFailure(const char* operation, const char* call, DWORD code);

// The session (with its proxy and, for https, its protocols) and the
// connection, stored in the set as each opens. On a failure the operation's
// line is logged, what was opened is closed again and the code returned.
[[nodiscard]] DWORD OpenSessionAndConnection(const ConnectionParameters& params, const char* operation,
                                             RequestHandleSet& set);
// A request for the object path on the set's connection, stored in the set.
// GET and HEAD accept any type; POST names none.
[[nodiscard]] DWORD OpenRequest(const ConnectionParameters& params, const char* operation, std::u16string_view verb,
                                RequestHandleSet& set);
// "Connection: Keep-Alive" or "Connection: close"; a failure is logged and
// the request goes on.
void AddConnectionHeader(HINTERNET request, const char* operation, bool keepAlive);
// The connect time-out and a receive time-out of the agent's settings (when
// asked for), the certificate tolerance for https and the proxy credentials.
// A failure is logged and ends the operation. The time-out of the response
// head is set in every case; a failure there is logged and the request goes on.
[[nodiscard]] DWORD ConfigureRequest(const ConnectionParameters& params, const char* operation, HINTERNET request,
                                     bool agentTimeouts);
// The receive time-out of the agent's settings, WinHTTP's default where the
// setting would wait for ever; 0 or the error code.
[[nodiscard]] DWORD SetReceiveTimeout(HINTERNET request);
// The receive time-out that SetReceiveTimeout sets.
DWORD AgentReceiveTimeout();
// TLS 1.0 to 1.2 on Windows 7 and 8, whose defaults lack the newer ones.
// Always 1: a failure does not stop the transfer.
int SetSecureProtocols(HINTERNET session);

// The steps of one operation's exchange that the retry rule drives.
class SendAttempts {
 public:
  virtual ~SendAttempts() = default;
  // Before each send: 0, or the code that ends the operation.
  virtual DWORD BeforeSend() = 0;
  // Sends the request (and its body).
  virtual DWORD Send() = 0;
  virtual DWORD Receive() = 0;
  // Replaces the request by a new one prepared as the first was: 0, or the
  // code that ends the operation.
  virtual DWORD Reopen() = 0;
};

// Sends and receives under the retry rule: a resend request costs a pause
// and one of five attempts; a failed login or an answer that cannot be
// parsed reopens the request once; anything else ends the operation. 0 when
// the operation goes on to the response headers (also when the attempts ran
// out), else the code that ends it.
[[nodiscard]] DWORD SendWithRetries(const char* operation, const ConnectionParameters& params, SendAttempts& attempts);

// Logs the response headers at DEBUG and reads the status. 0 with *status,
// 407 when the proxy refused the credentials, or the code of the failed query.
[[nodiscard]] DWORD ReadResponseStatus(const char* operation, HINTERNET request, DWORD* status);

// The Content-Length as a number: 0 or the code of the failed query.
[[nodiscard]] DWORD QueryContentLength(HINTERNET request, DWORD* length);

}  // namespace kv
