#pragma once
// Self-signed server certificates made at test time, so that no key is kept
// in the repository and each test gets exactly the flaw it wants.

#include <openssl/ssl.h>

#include <string>

namespace kv::test {

struct CertificateTraits {
  std::string hostName = "other.example";  // the name (or IP address) it is made out to
  int validFromDays = -1;                  // relative to now
  int validToDays = 30;
  bool clientAuthOnly = false;  // an extended key usage that excludes servers
};

// A server context presenting a fresh certificate of that kind; null on
// failure. The caller frees it with SSL_CTX_free.
SSL_CTX* MakeServerContext(const CertificateTraits& traits);

}  // namespace kv::test
