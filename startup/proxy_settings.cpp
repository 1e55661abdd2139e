// The proxy through which the agent reaches its server. Its password is kept
// Base64-encoded in the registry and held decoded; it never reaches the log.

#include "startup/proxy_settings.h"

#include "agent/agent_settings.h"
#include "agent/base64.h"
#include "base/log_writer.h"
#include "platform/crypto.h"
#include "platform/last_error.h"
#include "startup/agent_parameters.h"

namespace kv {
namespace {

constexpr const char* kProxyStarLine = "*********************************************************** \n";

// The default key container of the base provider, released on every way out.
class KeyContainer {
 public:
  KeyContainer() = default;
  ~KeyContainer() {
    if (provider_ != nullptr) CryptReleaseContext(provider_, 0);
  }
  KeyContainer(const KeyContainer&) = delete;
  KeyContainer& operator=(const KeyContainer&) = delete;

  // Opens the container, creating it when it cannot be opened.
  bool Acquire() {
    return CryptAcquireContextA(&provider_, nullptr, MS_DEF_PROV_A, PROV_RSA_FULL, 0) ||
           CryptAcquireContextA(&provider_, nullptr, MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET);
  }

  // Makes sure the container holds a key pair of the kind, generating a missing one.
  bool EnsureKeyPair(DWORD keySpec) const {
    HCRYPTKEY key = nullptr;
    if (!CryptGetUserKey(provider_, keySpec, &key)) {
      if (GetLastError() != NTE_NO_KEY || !CryptGenKey(provider_, keySpec, 0, &key)) return false;
    }
    CryptDestroyKey(key);
    return true;
  }

 private:
  HCRYPTPROV provider_ = nullptr;
};

bool PrepareCryptographicClient() {
  KeyContainer container;
  return container.Acquire() && container.EnsureKeyPair(AT_SIGNATURE) && container.EnsureKeyPair(AT_KEYEXCHANGE);
}

// What a log line shows of a secret: whether there is one, never its text.
const char* Masked(const std::optional<std::string>& secret) {
  if (!secret) return kNullLogText;
  return secret->empty() ? "" : "********";
}

std::string DecodePassword(const std::optional<std::string>& stored) {
  if (!stored) return {};
  const std::optional<std::string> decoded = Base64Decode(*stored);
  if (!decoded) {
    LogError("ReadProxySettings : The stored proxy password is not valid Base64 \n");
    return {};
  }
  // The password is text: it ends at its first NUL.
  return std::string(decoded->c_str());
}

}  // namespace

int ReadProxySettings() {
  AgentSettings& agent = Agent();
  if (PrepareCryptographicClient()) {
    LogDebug("Cryptographic client Ok\r\n");
  } else {
    LogDebug("Cryptographic client error\r\n");
  }
  const std::string key = agent.gv_RegKey;
  agent.gv_proxyUserName = ReadAgentString(key, "ProxyUserName");
  const std::optional<std::string> stored = ReadAgentString(key, "ProxyPassword");
  agent.gv_proxyServerName = ReadAgentString(key, "ProxyServerName");
  agent.gv_proxyByPass = ReadAgentString(key, "ProxyByPass");

  LogDebug("Password from registry: %s\n", Masked(stored));
  LogDebug("Encrypted password is: %s\n", Masked(stored));
  agent.gv_proxyPassword = DecodePassword(stored);
  LogDebug("Decrypted password is: %s\n", Masked(agent.gv_proxyPassword));

  LogInfo("%s", kProxyStarLine);
  LogInfo("Proxy Server Name -> %s \n", LogText(agent.gv_proxyServerName));
  LogInfo("Proxy UserName    -> %s \n", LogText(agent.gv_proxyUserName));
  LogInfo("Proxy ByPass List -> %s \n", LogText(agent.gv_proxyByPass));
  LogInfo("%s", kProxyStarLine);
  return 0;
}

}  // namespace kv
