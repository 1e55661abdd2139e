#pragma once
// Certificate checks of a secure request, relaxed exactly as its WinHTTP
// security flags say: an unknown or self-signed issuer, a date out of range
// and a wrong key usage are each forgiven only by their own flag, a name
// that does not match only by SECURITY_FLAG_IGNORE_CERT_CN_INVALID; any
// other failure (a revoked or malformed certificate, a bad signature) is
// never forgiven.

#include <curl/curl.h>

#include "platform/win_types.h"

namespace kv::posix {

struct HttpCertificatePolicy {
  DWORD securityFlags = 0;
  // Set when the server's certificate failed a check the flags do not waive.
  bool rejected = false;
};

// Sets the checks on the handle; policy must outlive the transfer.
CURLcode ApplyCertificatePolicy(CURL* easy, HttpCertificatePolicy* policy);

// CURLOPT_SSLVERSION for WINHTTP_OPTION_SECURE_PROTOCOLS (0: the library's
// default).
long TlsVersionRange(DWORD secureProtocols);

}  // namespace kv::posix
