#pragma once
// The proxy through which the agent reaches its server.

namespace kv {

// The proxy settings, read when the proxy is enabled. The password is stored
// Base64-encoded and held decoded; text that is not Base64 gives an empty
// password. Returns 0.
[[nodiscard]] int ReadProxySettings();

}  // namespace kv
