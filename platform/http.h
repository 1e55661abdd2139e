#pragma once
// HTTP sessions as WinHTTP offers them in synchronous mode. A session holds
// the user agent and the proxy, a connection names the server and port, and
// a request on it carries verb, object path, headers and options. The caller
// sends the request (with as much of the body as it has), writes the rest of
// the body, waits for the response, queries its headers and pulls the body
// with WinHttpQueryDataAvailable and WinHttpReadData. Names, option and flag
// values and result codes (12001-12184) are WinHTTP's.
//
// Every function returns ERROR_SUCCESS or a Windows or WinHTTP error code,
// and records a failure as the thread's last error (platform/last_error.h).
// Handles are plain values that the caller closes once with
// WinHttpCloseHandle; a closed, null or made-up handle is answered with
// ERROR_INVALID_HANDLE. A child handle keeps what it needs of its parent, so
// handles may be closed in any order. Closing a request from another thread
// while a call on it waits ends that call with
// ERROR_WINHTTP_OPERATION_CANCELLED.
//
// Behaviour every backend keeps alike:
// - nothing is retried behind the caller's back: one send is one attempt;
// - redirects are not followed: a 3xx response is handed to the caller;
// - the body of a response is held back in a bounded buffer: a server
//   sending faster than the caller reads is slowed down, not buffered whole;
// - the receive time-out bounds each wait for response bytes, the send
//   time-out each wait for the server to take request bytes.
//
// The WinHTTP constants are declared here only where <winhttp.h> has not
// declared them already as macros (same names, same values), so that a
// Windows backend can include both headers in either order. Code that sees
// <winhttp.h> must not qualify them with kv::, and calls the system's
// functions as ::WinHttpOpen and so on.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace kv {

struct HttpObject;
using HINTERNET = HttpObject*;
using INTERNET_PORT = WORD;

#ifndef INTERNET_DEFAULT_PORT
constexpr INTERNET_PORT INTERNET_DEFAULT_PORT = 0;  // 80, or 443 for a secure request
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;
#endif

#ifndef SECURITY_FLAG_IGNORE_UNKNOWN_CA
// WINHTTP_OPTION_SECURITY_FLAGS: the certificate checks a request gives up.
constexpr DWORD SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x00000100;
constexpr DWORD SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE = 0x00000200;
constexpr DWORD SECURITY_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;
constexpr DWORD SECURITY_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000;
#endif

#ifndef WINHTTP_FLAG_SECURE
// WinHttpOpen access types.
constexpr DWORD WINHTTP_ACCESS_TYPE_DEFAULT_PROXY = 0;  // the machine's setting: no proxy here
constexpr DWORD WINHTTP_ACCESS_TYPE_NO_PROXY = 1;
constexpr DWORD WINHTTP_ACCESS_TYPE_NAMED_PROXY = 3;
constexpr DWORD WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY = 4;  // no proxy found here

// WinHttpOpen flags (only synchronous sessions exist here).
constexpr DWORD WINHTTP_FLAG_ASYNC = 0x10000000;

// WinHttpOpenRequest flags.
constexpr DWORD WINHTTP_FLAG_ESCAPE_PERCENT = 0x00000004;
constexpr DWORD WINHTTP_FLAG_NULL_CODEPAGE = 0x00000008;
constexpr DWORD WINHTTP_FLAG_ESCAPE_DISABLE = 0x00000040;
constexpr DWORD WINHTTP_FLAG_ESCAPE_DISABLE_QUERY = 0x00000080;
constexpr DWORD WINHTTP_FLAG_BYPASS_PROXY_CACHE = 0x00000100;
constexpr DWORD WINHTTP_FLAG_REFRESH = WINHTTP_FLAG_BYPASS_PROXY_CACHE;
constexpr DWORD WINHTTP_FLAG_SECURE = 0x00800000;

// WinHttpAddRequestHeaders modifiers.
constexpr DWORD WINHTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
constexpr DWORD WINHTTP_ADDREQ_FLAG_ADD = 0x20000000;
constexpr DWORD WINHTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA = 0x40000000;
constexpr DWORD WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON = 0x01000000;
constexpr DWORD WINHTTP_ADDREQ_FLAG_COALESCE = WINHTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA;
constexpr DWORD WINHTTP_ADDREQ_FLAG_REPLACE = 0x80000000;

// Options. Time-outs are DWORD milliseconds (0 or 0xFFFFFFFF: no limit);
// user names and passwords are texts.
constexpr DWORD WINHTTP_OPTION_RESOLVE_TIMEOUT = 2;
constexpr DWORD WINHTTP_OPTION_CONNECT_TIMEOUT = 3;
constexpr DWORD WINHTTP_OPTION_SEND_TIMEOUT = 5;
constexpr DWORD WINHTTP_OPTION_RECEIVE_TIMEOUT = 6;
constexpr DWORD WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT = 7;
constexpr DWORD WINHTTP_OPTION_SECURITY_FLAGS = 31;
constexpr DWORD WINHTTP_OPTION_USER_AGENT = 41;
constexpr DWORD WINHTTP_OPTION_SECURE_PROTOCOLS = 84;
constexpr DWORD WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE = 91;
constexpr DWORD WINHTTP_OPTION_PROXY_USERNAME = 0x1002;
constexpr DWORD WINHTTP_OPTION_PROXY_PASSWORD = 0x1003;

// WINHTTP_OPTION_SECURE_PROTOCOLS values.
constexpr DWORD WINHTTP_FLAG_SECURE_PROTOCOL_SSL2 = 0x00000008;
constexpr DWORD WINHTTP_FLAG_SECURE_PROTOCOL_SSL3 = 0x00000020;
constexpr DWORD WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 = 0x00000080;
constexpr DWORD WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 = 0x00000200;
constexpr DWORD WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 = 0x00000800;
constexpr DWORD WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 = 0x00002000;

// WinHttpQueryHeaders information levels and modifiers.
constexpr DWORD WINHTTP_QUERY_CONTENT_TYPE = 1;
constexpr DWORD WINHTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD WINHTTP_QUERY_DATE = 9;
constexpr DWORD WINHTTP_QUERY_LAST_MODIFIED = 11;
constexpr DWORD WINHTTP_QUERY_PRAGMA = 17;
constexpr DWORD WINHTTP_QUERY_VERSION = 18;
constexpr DWORD WINHTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD WINHTTP_QUERY_STATUS_TEXT = 20;
constexpr DWORD WINHTTP_QUERY_RAW_HEADERS = 21;
constexpr DWORD WINHTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr DWORD WINHTTP_QUERY_CONNECTION = 23;
constexpr DWORD WINHTTP_QUERY_ACCEPT = 24;
constexpr DWORD WINHTTP_QUERY_CONTENT_ENCODING = 29;
constexpr DWORD WINHTTP_QUERY_IF_MODIFIED_SINCE = 32;
constexpr DWORD WINHTTP_QUERY_LOCATION = 33;
constexpr DWORD WINHTTP_QUERY_SERVER = 37;
constexpr DWORD WINHTTP_QUERY_USER_AGENT = 39;
constexpr DWORD WINHTTP_QUERY_WWW_AUTHENTICATE = 40;
constexpr DWORD WINHTTP_QUERY_PROXY_AUTHENTICATE = 41;
constexpr DWORD WINHTTP_QUERY_ACCEPT_RANGES = 42;
constexpr DWORD WINHTTP_QUERY_REQUEST_METHOD = 45;
constexpr DWORD WINHTTP_QUERY_CACHE_CONTROL = 49;
constexpr DWORD WINHTTP_QUERY_CONTENT_RANGE = 53;
constexpr DWORD WINHTTP_QUERY_ETAG = 54;
constexpr DWORD WINHTTP_QUERY_HOST = 55;
constexpr DWORD WINHTTP_QUERY_PROXY_AUTHORIZATION = 61;
constexpr DWORD WINHTTP_QUERY_RANGE = 62;
constexpr DWORD WINHTTP_QUERY_TRANSFER_ENCODING = 63;
constexpr DWORD WINHTTP_QUERY_CUSTOM = 65535;
constexpr DWORD WINHTTP_QUERY_FLAG_REQUEST_HEADERS = 0x80000000;
constexpr DWORD WINHTTP_QUERY_FLAG_SYSTEMTIME = 0x40000000;
constexpr DWORD WINHTTP_QUERY_FLAG_NUMBER = 0x20000000;
constexpr DWORD WINHTTP_QUERY_FLAG_NUMBER64 = 0x08000000;
#endif

#ifndef ERROR_WINHTTP_TIMEOUT
// WinHTTP's error codes.
constexpr DWORD ERROR_WINHTTP_OUT_OF_HANDLES = 12001;
constexpr DWORD ERROR_WINHTTP_TIMEOUT = 12002;
constexpr DWORD ERROR_WINHTTP_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_WINHTTP_INVALID_URL = 12005;
constexpr DWORD ERROR_WINHTTP_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_WINHTTP_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_WINHTTP_INVALID_OPTION = 12009;
constexpr DWORD ERROR_WINHTTP_OPTION_NOT_SETTABLE = 12011;
constexpr DWORD ERROR_WINHTTP_SHUTDOWN = 12012;
constexpr DWORD ERROR_WINHTTP_LOGIN_FAILURE = 12015;
constexpr DWORD ERROR_WINHTTP_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_WINHTTP_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_WINHTTP_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_WINHTTP_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_WINHTTP_CONNECTION_ERROR = 12030;
constexpr DWORD ERROR_WINHTTP_RESEND_REQUEST = 12032;
constexpr DWORD ERROR_WINHTTP_SECURE_CERT_DATE_INVALID = 12037;
constexpr DWORD ERROR_WINHTTP_SECURE_CERT_CN_INVALID = 12038;
constexpr DWORD ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED = 12044;
constexpr DWORD ERROR_WINHTTP_SECURE_INVALID_CA = 12045;
constexpr DWORD ERROR_WINHTTP_SECURE_CERT_REV_FAILED = 12057;
constexpr DWORD ERROR_WINHTTP_CANNOT_CALL_BEFORE_OPEN = 12100;
constexpr DWORD ERROR_WINHTTP_CANNOT_CALL_BEFORE_SEND = 12101;
constexpr DWORD ERROR_WINHTTP_CANNOT_CALL_AFTER_SEND = 12102;
constexpr DWORD ERROR_WINHTTP_CANNOT_CALL_AFTER_OPEN = 12103;
constexpr DWORD ERROR_WINHTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_WINHTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_WINHTTP_INVALID_HEADER = 12153;
constexpr DWORD ERROR_WINHTTP_INVALID_QUERY_REQUEST = 12154;
constexpr DWORD ERROR_WINHTTP_HEADER_ALREADY_EXISTS = 12155;
constexpr DWORD ERROR_WINHTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_WINHTTP_SECURE_CHANNEL_ERROR = 12157;
constexpr DWORD ERROR_WINHTTP_SECURE_INVALID_CERT = 12169;
constexpr DWORD ERROR_WINHTTP_SECURE_CERT_REVOKED = 12170;
constexpr DWORD ERROR_WINHTTP_SECURE_FAILURE = 12175;
constexpr DWORD ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE = 12179;
constexpr DWORD ERROR_WINHTTP_HEADER_COUNT_EXCEEDED = 12181;
constexpr DWORD ERROR_WINHTTP_HEADER_SIZE_OVERFLOW = 12182;
constexpr DWORD ERROR_WINHTTP_CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW = 12183;
constexpr DWORD ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW = 12184;
#endif

// The session: user agent, proxy. With WINHTTP_ACCESS_TYPE_NAMED_PROXY the
// proxy is "host[:port]" (port 80 when absent), or a list of such entries,
// each optionally "http=" or "https=" for one scheme only, separated by ';'
// or blanks; the bypass list names hosts reached directly ("<local>": every
// name without a dot; '*' matches any run of characters), separated by ';'
// or blanks. flags: 0 (WINHTTP_FLAG_ASYNC is refused with
// ERROR_INVALID_PARAMETER). *session is null on failure.
[[nodiscard]] DWORD WinHttpOpen(std::u16string_view userAgent, DWORD accessType, std::u16string_view proxyName,
                                std::u16string_view proxyBypass, DWORD flags, HINTERNET* session);

// A connection to a server (a host name or an address) on a port
// (INTERNET_DEFAULT_PORT: 80, or 443 for secure requests). Nothing is
// resolved or connected before a request is sent.
[[nodiscard]] DWORD WinHttpConnect(HINTERNET session, std::u16string_view serverName, INTERNET_PORT port,
                                   HINTERNET* connection);

// A request. verb empty: "GET"; version empty: HTTP/1.1 ("HTTP/1.0" is the
// other choice); referrer empty: none; acceptTypes are sent joined in one
// Accept header, none when the list is empty. objectName is the path and
// query; characters that may not stand in a URL (blanks, controls, non-ASCII
// as UTF-8) are percent-encoded unless WINHTTP_FLAG_ESCAPE_DISABLE is given.
// WINHTTP_FLAG_REFRESH adds "Pragma: no-cache" and "Cache-Control: no-cache".
[[nodiscard]] DWORD WinHttpOpenRequest(HINTERNET connection, std::u16string_view verb, std::u16string_view objectName,
                                       std::u16string_view version, std::u16string_view referrer,
                                       const std::vector<std::u16string_view>& acceptTypes, DWORD flags,
                                       HINTERNET* request);

// Adds, replaces or removes request headers: one or more "Name: value" lines
// separated by CRLF (the text ends at a NUL character). modifiers: 0 or
// WINHTTP_ADDREQ_FLAG_ADD appends; ADD_IF_NEW fails with
// ERROR_WINHTTP_HEADER_ALREADY_EXISTS when the name is there; REPLACE
// replaces the first header of that name (an empty value removes it) and
// fails with ERROR_WINHTTP_HEADER_NOT_FOUND when there is none unless ADD is
// given too; COALESCE_WITH_COMMA/SEMICOLON merge into the first of that name.
[[nodiscard]] DWORD WinHttpAddRequestHeaders(HINTERNET request, std::u16string_view headers, DWORD modifiers);

// Options with a number (time-outs, security flags, secure protocols,
// maximum response header size) or a text (user agent, proxy user name and
// password). A session or connection hands its options to the requests
// opened on it afterwards. ERROR_WINHTTP_INVALID_OPTION for an unknown
// option, ERROR_INVALID_PARAMETER for a number where a text is meant or the
// reverse, ERROR_WINHTTP_INCORRECT_HANDLE_TYPE where the option does not
// apply (security flags: requests only; secure protocols: sessions only).
[[nodiscard]] DWORD WinHttpSetOption(HINTERNET handle, DWORD option, DWORD value);
[[nodiscard]] DWORD WinHttpSetOption(HINTERNET handle, DWORD option, std::u16string_view text);
[[nodiscard]] DWORD WinHttpQueryOption(HINTERNET handle, DWORD option, DWORD* value);
[[nodiscard]] DWORD WinHttpQueryOption(HINTERNET handle, DWORD option, std::u16string* text);

// Starts the request: connects (through the proxy where one applies), sends
// the request line and headers (those of the request plus the extra ones
// given here for this send only) and the optional data, which is copied.
// totalLength is the whole body: when it is larger than the optional data
// the rest follows with WinHttpWriteData; a body-less GET sends no
// Content-Length. A request may be sent again (a fresh attempt on a new
// connection) after any outcome. Failures: ERROR_WINHTTP_NAME_NOT_RESOLVED,
// ERROR_WINHTTP_CANNOT_CONNECT, ERROR_WINHTTP_TIMEOUT,
// ERROR_WINHTTP_SECURE_FAILURE (a certificate check that the security flags
// do not waive failed), ERROR_WINHTTP_SECURE_CHANNEL_ERROR,
// ERROR_WINHTTP_CONNECTION_ERROR.
[[nodiscard]] DWORD WinHttpSendRequest(HINTERNET request, std::u16string_view headers, const void* optional,
                                       DWORD optionalLength, DWORD totalLength);

// Sends more of the body; the data is handed on as it stands, not gathered.
// Returns when the server has taken it (within the send time-out). Writing
// more than the total length announced fails with ERROR_INVALID_PARAMETER.
[[nodiscard]] DWORD WinHttpWriteData(HINTERNET request, const void* data, DWORD length, DWORD* written);

// Waits for the response headers. A body announced but not wholly written
// fails with ERROR_WINHTTP_INCORRECT_HANDLE_STATE. Failures besides those of
// sending: ERROR_WINHTTP_INVALID_SERVER_RESPONSE (no response, or one that is
// not HTTP), ERROR_WINHTTP_HEADER_SIZE_OVERFLOW (headers above the maximum,
// 64 KiB by default), ERROR_WINHTTP_TIMEOUT (no byte within the receive
// time-out, or the headers not complete within the receive-response
// time-out), ERROR_WINHTTP_CONNECTION_ERROR (closed or reset).
[[nodiscard]] DWORD WinHttpReceiveResponse(HINTERNET request);

// A response header (or, with WINHTTP_QUERY_FLAG_REQUEST_HEADERS, a request
// header) by information level, or by name with WINHTTP_QUERY_CUSTOM. Text
// comes as UTF-16 with a terminating NUL; *bufferLength is in bytes: on entry
// the buffer's size, on success the text's size without the NUL, and with
// ERROR_INSUFFICIENT_BUFFER (also when buffer is null) the size needed with
// the NUL. WINHTTP_QUERY_FLAG_NUMBER writes a DWORD, FLAG_NUMBER64 a QWORD
// (ERROR_INVALID_DATA when the value is not a number that fits). index, when
// given, picks the n-th header of that name and is advanced past it.
// ERROR_WINHTTP_HEADER_NOT_FOUND when there is no such header,
// ERROR_WINHTTP_INCORRECT_HANDLE_STATE before a response has been received.
[[nodiscard]] DWORD WinHttpQueryHeaders(HINTERNET request, DWORD infoLevel, std::u16string_view name, void* buffer,
                                        DWORD* bufferLength, DWORD* index);

// Waits until some of the body has arrived and tells how many bytes can be
// read at once; 0 at the end of the body. Bytes that arrived before a
// failure are handed out before the failure is: ERROR_WINHTTP_TIMEOUT (none
// within the receive time-out), ERROR_WINHTTP_CONNECTION_ERROR (closed or
// reset before the announced end), ERROR_WINHTTP_INVALID_SERVER_RESPONSE
// (chunked encoding that cannot be decoded).
[[nodiscard]] DWORD WinHttpQueryDataAvailable(HINTERNET request, DWORD* available);

// Reads up to length bytes of the body, waiting as WinHttpQueryDataAvailable
// does when none is there; *read 0 at the end of the body.
[[nodiscard]] DWORD WinHttpReadData(HINTERNET request, void* buffer, DWORD length, DWORD* read);

// Closes a session, connection or request (a request's transfer is dropped).
DWORD WinHttpCloseHandle(HINTERNET handle);

// What lies behind the last failed exchange of this thread's requests, in a
// few words for a person, beyond what its WinHTTP code says: the system's
// reason a connection failed ("connection refused"), or that the server did
// not answer in TLS. Cleared when a request is sent. Empty when there is
// nothing to add, or the backend cannot tell (WinHTTP tells only its code).
std::string WinHttpLastFailureDetail();

// Told of each certificate problem that a request's security flags waived,
// while the handshake goes on ("self-signed certificate"), so that a
// program can show what the transfer overlooked; null: nobody is told.
// Called on the thread that sends the request. WinHTTP waives its checks
// without a word: the Windows backend never calls it.
using WaivedCertificateObserver = void (*)(const char* problem);
void SetWaivedCertificateObserver(WaivedCertificateObserver observer);

}  // namespace kv
