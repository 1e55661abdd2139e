// Opening, configuring and sending requests, the same in every transfer
// operation; the operation's name leads each of its log lines.

#include "transfer/http_session.h"

#include <algorithm>
#include <vector>

#include "agent/agent_settings.h"
#include "agent/file_system_helpers.h"
#include "base/log_writer.h"
#include "platform/unicode.h"
#include "transfer/http_errors.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

constexpr DWORD kSecureRequestFlags = WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH;
constexpr DWORD kPlainRequestFlags = WINHTTP_FLAG_REFRESH;
// Every certificate check the agent gives up: unknown authority, wrong
// usage, wrong name, wrong date. Revocation stays checked.
constexpr DWORD kIgnoredCertificateChecks = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                            SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                            SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
constexpr DWORD kOlderSystemProtocols =
    WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;

// A handle that would not open: the operation's line, and what was opened
// before it closed again.
DWORD FailOpening(const char* operation, const char* call, DWORD code, RequestHandleSet& set) {
  LogHttpFailure(operation, call, code);
  CloseRequestHandleSet(set);
  return code;
}

// Credentials of one character are taken for placeholders and not sent.
bool IsUsableCredential(const std::u16string& text) { return text.size() > 1; }

}  // namespace

bool IsSecure(const ConnectionParameters& params) { return EqualsNoCase(std::string_view(params.protocol), "https"); }

DWORD LogHttpFailure(const char* operation, const char* call, DWORD code) {
  LogError("%s :  Error in %s --> %d \n", operation, call, static_cast<int>(code));
  HttpGetLastError(code);
  return code;
}

int SetSecureProtocols(HINTERNET session) {
  if (!isWin7orWin8()) return 1;
  LogInfo("SetSecureProtocols : Configuring security protocols \n");
  const DWORD rc = WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, kOlderSystemProtocols);
  if (rc == ERROR_SUCCESS) {
    LogInfo("SetSecureProtocols :  Security protocols configured successfully \n");
  } else {
    LogError("SetSecureProtocols :  Error in WinHttpSetOption for security protocols --> %d \n", static_cast<int>(rc));
    HttpGetLastError(rc);
  }
  return 1;
}

DWORD OpenSessionAndConnection(const ConnectionParameters& params, const char* operation, RequestHandleSet& set) {
  HINTERNET session = nullptr;
  DWORD rc;
  if (params.useProxy) {
    LogInfo("%s : Proxy Server Name : %s \n", operation, Utf16ToUtf8(params.proxyServerName).c_str());
    rc = WinHttpOpen(kAgentUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, params.proxyServerName, params.proxyByPass, 0,
                     &session);
  } else {
    rc = WinHttpOpen(kAgentUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}, 0, &session);
  }
  if (rc != ERROR_SUCCESS) return LogHttpFailure(operation, "WinHttpOpen", rc);
  set.hSession = session;
  if (IsSecure(params)) SetSecureProtocols(session);

  HINTERNET connection = nullptr;
  rc = WinHttpConnect(session, params.serverName, static_cast<INTERNET_PORT>(params.serverPort), &connection);
  if (rc != ERROR_SUCCESS) return FailOpening(operation, "WinHttpConnect", rc, set);
  set.hConnect = connection;
  return ERROR_SUCCESS;
}

DWORD OpenRequest(const ConnectionParameters& params, const char* operation, std::u16string_view verb,
                  RequestHandleSet& set) {
  std::vector<std::u16string_view> acceptTypes;
  if (verb != u"POST") acceptTypes.push_back(u"*/*");
  HINTERNET request = nullptr;
  const DWORD rc = WinHttpOpenRequest(set.hConnect, verb, params.objectPath, {}, {}, acceptTypes,
                                      IsSecure(params) ? kSecureRequestFlags : kPlainRequestFlags, &request);
  if (rc != ERROR_SUCCESS) return FailOpening(operation, "WinHttpOpenRequest", rc, set);
  set.hRequest = request;
  return ERROR_SUCCESS;
}

void AddConnectionHeader(HINTERNET request, const char* operation, bool keepAlive) {
  const DWORD rc = WinHttpAddRequestHeaders(request, keepAlive ? u"Connection: Keep-Alive" : u"Connection: close",
                                            WINHTTP_ADDREQ_FLAG_ADD);
  if (rc != ERROR_SUCCESS) LogHttpFailure(operation, "WinHttpAddRequestHeaders", rc);
}

DWORD ConfigureRequest(const ConnectionParameters& params, const char* operation, HINTERNET request,
                       bool agentTimeouts) {
  DWORD rc = ERROR_SUCCESS;
  if (agentTimeouts) {
    rc = WinHttpSetOption(request, WINHTTP_OPTION_CONNECT_TIMEOUT, Agent().gv_httpConnectionTimeout);
    if (rc != ERROR_SUCCESS) return LogHttpFailure(operation, "WinHttpSetOption", rc);
  }
  // The agent's receive time-out bounds the wait for the head as it bounds
  // the wait for the body (WinHTTP would otherwise wait its own 90 s for a
  // head, whatever the agent set).
  const DWORD head = agentTimeouts ? AgentReceiveTimeout() : kResponseHeadTimeoutMs;
  rc = WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, head);
  if (rc != ERROR_SUCCESS) LogHttpFailure(operation, "WinHttpSetOption", rc);
  if (IsSecure(params)) {
    DWORD flags = 0;
    rc = WinHttpQueryOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags);
    if (rc != ERROR_SUCCESS) return LogHttpFailure(operation, "WinHttpQueryOption", rc);
    rc = WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, flags | kIgnoredCertificateChecks);
    if (rc != ERROR_SUCCESS) return LogHttpFailure(operation, "WinHttpSetOption", rc);
    LogDebug("%s :  The request is updated with the internet option security flags. \n", operation);
  }
  if (params.useProxy && IsUsableCredential(params.proxyUserName)) {
    rc = WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, params.proxyUserName);
    if (rc != ERROR_SUCCESS) return LogHttpFailure(operation, "WinHttpSetOption", rc);
    if (IsUsableCredential(params.proxyPassword)) {
      rc = WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, params.proxyPassword);
      if (rc != ERROR_SUCCESS) return LogHttpFailure(operation, "WinHttpSetOption", rc);
    }
  }
  return ERROR_SUCCESS;
}

DWORD AgentReceiveTimeout() {
  const DWORD setting = Agent().gv_httpRequestTimeout;
  return setting == 0 || setting == 0xFFFFFFFF ? kDefaultReceiveTimeoutMs : setting;
}

DWORD SetReceiveTimeout(HINTERNET request) {
  return WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, AgentReceiveTimeout());
}

DWORD SendWithRetries(const char* operation, const ConnectionParameters& params, SendAttempts& attempts) {
  const std::string server = Utf16ToUtf8(params.serverName);
  bool reopened = false;
  // A new request handle starts its own count of attempts.
  auto reopen = [&]() -> DWORD {
    reopened = true;
    return attempts.Reopen();
  };
  int attempt = 0;
  while (attempt < kSendAttempts) {
    if (const DWORD rc = attempts.BeforeSend()) return rc;
    DWORD rc = attempts.Send();
    if (rc != ERROR_SUCCESS) {
      const bool worthReopening = rc == ERROR_WINHTTP_LOGIN_FAILURE || rc == ERROR_WINHTTP_OPERATION_CANCELLED;
      if (worthReopening) {
        LogInfo("%s : Going to close the request handle and going to resending the data to the server %s \n", operation,
                server.c_str());
      }
      if (worthReopening && !reopened) {
        if (const DWORD failed = reopen()) return failed;
        attempt = 0;
        continue;
      }
      LogError("%s :  Error in WinHttpSendRequest -> %d \n", operation, static_cast<int>(rc));
      HttpGetLastError(rc);
      return rc;
    }
    rc = attempts.Receive();
    if (rc == ERROR_SUCCESS) return ERROR_SUCCESS;
    if (rc == ERROR_WINHTTP_RESEND_REQUEST) {
      LogInfo("%s : Resending the data to the server %s \n", operation, server.c_str());
      TransferSleep(kResendPauseMs);
      ++attempt;
    } else if (rc == ERROR_WINHTTP_LOGIN_FAILURE || rc == ERROR_WINHTTP_INVALID_SERVER_RESPONSE) {
      LogInfo(
          "%s : Going to close the request handle and going to resending the data to the server %s,as the error code "
          "received is %d \n",
          operation, server.c_str(), static_cast<int>(rc));
      if (reopened) {
        ++attempt;
      } else {
        if (const DWORD failed = reopen()) return failed;
        attempt = 0;
      }
    } else {
      LogInfo("%s :  Error - WinHttpReceiveResponse --> %d \n", operation, static_cast<int>(rc));
      HttpGetLastError(rc);
      return rc;
    }
  }
  // Out of attempts: the header query that follows tells why.
  return ERROR_SUCCESS;
}

DWORD ReadResponseStatus(const char* operation, HINTERNET request, DWORD* status) {
  *status = 0;
  DWORD size = 0;
  DWORD rc = WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, {}, nullptr, &size, nullptr);
  std::u16string headers;
  if (rc == ERROR_INSUFFICIENT_BUFFER) {
    headers.assign(size / sizeof(char16_t), u'\0');
    rc = WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, {}, headers.data(), &size, nullptr);
    headers.resize(size / sizeof(char16_t));
  }
  if (rc != ERROR_SUCCESS) return LogHttpFailure(operation, "WinHttpQueryHeaders", rc);
  LogDebug("%s :  Header Informations : \n %s \n", operation, Utf16ToUtf8(headers).c_str());

  DWORD code = 0;
  size = sizeof code;
  rc = WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, {}, &code, &size, nullptr);
  if (rc != ERROR_SUCCESS) {
    LogError("%s : WinHttpQueryHeaders failed with the error code while getting http status code %d \n", operation,
             static_cast<int>(rc));
    HttpGetLastError(rc);
    return rc;
  }
  *status = code;
  if (code == 407) {
    LogError("%s : Proxy Credentials are failed to authenticate %d \n", operation, static_cast<int>(code));
    return 407;
  }
  return ERROR_SUCCESS;
}

DWORD QueryContentLength(HINTERNET request, DWORD* length) {
  DWORD value = 0;
  DWORD size = sizeof value;
  const DWORD rc = WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER, {}, &value,
                                       &size, nullptr);
  *length = rc == ERROR_SUCCESS ? value : 0;
  return rc;
}

}  // namespace kv
