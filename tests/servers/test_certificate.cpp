#include "tests/servers/test_certificate.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <memory>

namespace kv::test {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};

bool AddExtension(X509* cert, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (!extension) return false;
  const bool added = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

bool IsAddress(const std::string& name) {
  unsigned char bytes[16];
  return inet_pton(AF_INET, name.c_str(), bytes) == 1 || inet_pton(AF_INET6, name.c_str(), bytes) == 1;
}

}  // namespace

SSL_CTX* MakeServerContext(const CertificateTraits& traits) {
  std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
  std::unique_ptr<X509, CertFree> cert(X509_new());
  if (!key || !cert) return nullptr;
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), long{traits.validFromDays} * 86400);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), long{traits.validToDays} * 86400);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(traits.hostName.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  if (!AddExtension(cert.get(), NID_subject_alt_name, (IsAddress(traits.hostName) ? "IP:" : "DNS:") + traits.hostName))
    return nullptr;
  if (traits.clientAuthOnly && !AddExtension(cert.get(), NID_ext_key_usage, "clientAuth")) return nullptr;
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) return nullptr;

  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (!context) return nullptr;
  if (SSL_CTX_use_certificate(context, cert.get()) != 1 || SSL_CTX_use_PrivateKey(context, key.get()) != 1) {
    SSL_CTX_free(context);
    return nullptr;
  }
  return context;
}

}  // namespace kv::test
