// CryptoAPI key containers through advapi32. The seam's handles are the
// Windows handles' values.

#include "platform/crypto.h"

#include "platform/win32/wide.h"

namespace kv {
namespace {

::HCRYPTPROV Native(HCRYPTPROV provider) { return reinterpret_cast<::HCRYPTPROV>(provider); }

bool Failed() {
  win32::LastFailure();
  return false;
}

}  // namespace

bool CryptAcquireContextA(HCRYPTPROV* provider, const char* container, const char* providerName, DWORD providerType,
                          DWORD flags) {
  if (provider == nullptr) return win32::Fail(ERROR_INVALID_PARAMETER), false;
  *provider = nullptr;
  ::HCRYPTPROV native = 0;
  if (!::CryptAcquireContextA(&native, container, providerName, providerType, flags)) return Failed();
  *provider = reinterpret_cast<HCRYPTPROV>(native);
  return true;
}

bool CryptReleaseContext(HCRYPTPROV provider, DWORD flags) {
  return ::CryptReleaseContext(Native(provider), flags) ? true : Failed();
}

bool CryptGetUserKey(HCRYPTPROV provider, DWORD keySpec, HCRYPTKEY* key) {
  if (key == nullptr) return win32::Fail(ERROR_INVALID_PARAMETER), false;
  *key = nullptr;
  ::HCRYPTKEY native = 0;
  if (!::CryptGetUserKey(Native(provider), keySpec, &native)) return Failed();
  *key = reinterpret_cast<HCRYPTKEY>(native);
  return true;
}

bool CryptGenKey(HCRYPTPROV provider, DWORD algorithm, DWORD flags, HCRYPTKEY* key) {
  if (key == nullptr) return win32::Fail(ERROR_INVALID_PARAMETER), false;
  *key = nullptr;
  ::HCRYPTKEY native = 0;
  if (!::CryptGenKey(Native(provider), algorithm, flags, &native)) return Failed();
  *key = reinterpret_cast<HCRYPTKEY>(native);
  return true;
}

bool CryptDestroyKey(HCRYPTKEY key) { return ::CryptDestroyKey(reinterpret_cast<::HCRYPTKEY>(key)) ? true : Failed(); }

}  // namespace kv
