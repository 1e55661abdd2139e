#include "platform/posix/http_tls.h"

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <atomic>

#include "platform/http.h"

namespace kv::posix {
namespace {

int PolicyIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

DWORD FlagThatWaives(int error) {
  switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED: return SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED: return SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    case X509_V_ERR_INVALID_PURPOSE: return SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    default: return 0;
  }
}

std::atomic<WaivedCertificateObserver> waivedObserver{nullptr};

int VerifyCertificate(int preverified, X509_STORE_CTX* store) {
  if (preverified) return 1;
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* policy =
      ssl ? static_cast<HttpCertificatePolicy*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), PolicyIndex())) : nullptr;
  if (!policy) return 0;
  const DWORD waiver = FlagThatWaives(X509_STORE_CTX_get_error(store));
  if (waiver != 0 && (policy->securityFlags & waiver)) {
    // Forgiven: the handshake goes on and the verdict it leaves is "good".
    if (const WaivedCertificateObserver observer = waivedObserver.load())
      observer(X509_verify_cert_error_string(X509_STORE_CTX_get_error(store)));
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
  }
  policy->rejected = true;
  return 0;
}

CURLcode PrepareContext(CURL*, void* context, void* policy) {
  auto* ctx = static_cast<SSL_CTX*>(context);
  SSL_CTX_set_ex_data(ctx, PolicyIndex(), policy);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, VerifyCertificate);
  return CURLE_OK;
}

}  // namespace

CURLcode ApplyCertificatePolicy(CURL* easy, HttpCertificatePolicy* policy) {
  CURLcode rc = curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  if (rc == CURLE_OK)
    rc = curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST,
                          (policy->securityFlags & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) ? 0L : 2L);
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, PrepareContext);
  if (rc == CURLE_OK) rc = curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, policy);
  return rc;
}

long TlsVersionRange(DWORD secureProtocols) {
  struct Version {
    DWORD flag;
    long minimum;
    long maximum;
  };
  static constexpr Version kVersions[] = {
      {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1, CURL_SSLVERSION_TLSv1_0, CURL_SSLVERSION_MAX_TLSv1_0},
      {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1, CURL_SSLVERSION_TLSv1_1, CURL_SSLVERSION_MAX_TLSv1_1},
      {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2, CURL_SSLVERSION_TLSv1_2, CURL_SSLVERSION_MAX_TLSv1_2},
      {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3, CURL_SSLVERSION_TLSv1_3, CURL_SSLVERSION_MAX_TLSv1_3},
  };
  long minimum = -1, maximum = -1;
  for (const auto& version : kVersions) {
    if (!(secureProtocols & version.flag)) continue;
    if (minimum < 0) minimum = version.minimum;
    maximum = version.maximum;
  }
  if (secureProtocols == 0) return CURL_SSLVERSION_DEFAULT;
  // Only the old SSL versions, which nothing here speaks: the handshake fails.
  if (minimum < 0) return CURL_SSLVERSION_SSLv3;
  return minimum | maximum;
}

}  // namespace kv::posix

namespace kv {

void SetWaivedCertificateObserver(WaivedCertificateObserver observer) { posix::waivedObserver = observer; }

}  // namespace kv
