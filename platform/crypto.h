#pragma once
// CryptoAPI key containers: acquiring a provider's container, asking for its
// key pairs and generating missing ones. The functions answer true or false
// and record a failure as the thread's last error (an NTE_ code), as
// CryptoAPI does.

#include "platform/win_types.h"

namespace kv {

struct CryptProviderObject;
struct CryptKeyObject;
using HCRYPTPROV = CryptProviderObject*;
using HCRYPTKEY = CryptKeyObject*;

constexpr const char* MS_DEF_PROV_A = "Microsoft Base Cryptographic Provider v1.0";
constexpr DWORD PROV_RSA_FULL = 1;
constexpr DWORD CRYPT_NEWKEYSET = 0x8;
constexpr DWORD AT_KEYEXCHANGE = 1;
constexpr DWORD AT_SIGNATURE = 2;

constexpr DWORD NTE_BAD_KEY = 0x80090003;
constexpr DWORD NTE_NO_KEY = 0x8009000D;
constexpr DWORD NTE_EXISTS = 0x8009000F;
constexpr DWORD NTE_BAD_KEYSET = 0x80090016;
constexpr DWORD NTE_PROV_TYPE_NOT_DEF = 0x80090017;

// container null: the default container. With CRYPT_NEWKEYSET the container
// is created (NTE_EXISTS when it is there), without it opened (NTE_BAD_KEYSET
// when it is not).
[[nodiscard]] bool CryptAcquireContextA(HCRYPTPROV* provider, const char* container, const char* providerName, DWORD providerType,
                          DWORD flags);
bool CryptReleaseContext(HCRYPTPROV provider, DWORD flags);
// The container's key pair of a kind (AT_SIGNATURE, AT_KEYEXCHANGE);
// NTE_NO_KEY when it has none.
[[nodiscard]] bool CryptGetUserKey(HCRYPTPROV provider, DWORD keySpec, HCRYPTKEY* key);
// Generates the key pair of a kind in the container.
[[nodiscard]] bool CryptGenKey(HCRYPTPROV provider, DWORD algorithm, DWORD flags, HCRYPTKEY* key);
bool CryptDestroyKey(HCRYPTKEY key);

}  // namespace kv
