#pragma once
// Which proxy a request goes through: WinHTTP's proxy lists
// ("[scheme=]host[:port]" entries) and bypass lists ("<local>", host
// patterns with '*').

#include <string>
#include <string_view>

namespace kv::posix {

// The proxy for a request of that scheme as "host:port", or empty when the
// list names none for it.
std::string ChooseProxy(std::string_view proxyList, bool secure);

// Whether the bypass list sends requests to host:port past the proxy.
bool BypassesProxy(std::string_view bypassList, std::string_view host, unsigned port, bool secure);

}  // namespace kv::posix
