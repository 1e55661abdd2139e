#include "platform/posix/http_proxy.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

// Entries separated by ';' or blanks.
std::vector<std::string_view> Entries(std::string_view list) {
  std::vector<std::string_view> entries;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= list.size(); ++i) {
    if (i == list.size() || list[i] == ';' || list[i] == ' ' || list[i] == '\t') {
      if (i > start) entries.push_back(list.substr(start, i - start));
      start = i + 1;
    }
  }
  return entries;
}

std::string_view StripScheme(std::string_view entry) {
  const std::size_t scheme = entry.find("://");
  return scheme == std::string_view::npos ? entry : entry.substr(scheme + 3);
}

// '*' matches any run of characters; the rest compares without regard to case.
bool Matches(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return text.empty();
  if (pattern.front() == '*') {
    for (std::size_t skip = 0; skip <= text.size(); ++skip)
      if (Matches(pattern.substr(1), text.substr(skip))) return true;
    return false;
  }
  return !text.empty() && EqualsNoCase(pattern.substr(0, 1), text.substr(0, 1)) &&
         Matches(pattern.substr(1), text.substr(1));
}

}  // namespace

std::string ChooseProxy(std::string_view proxyList, bool secure) {
  std::string_view chosen;
  for (std::string_view entry : Entries(proxyList)) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (chosen.empty()) chosen = entry;
    } else if (EqualsNoCase(entry.substr(0, equals), secure ? std::string_view("https") : std::string_view("http"))) {
      chosen = entry.substr(equals + 1);
      break;
    }
  }
  std::string proxy(StripScheme(chosen));
  if (!proxy.empty() && proxy.back() == '/') proxy.pop_back();
  if (proxy.empty()) return proxy;
  // WinHTTP's proxies listen on port 80 unless they say otherwise.
  const std::size_t bracket = proxy.rfind(']');
  const std::size_t colon = proxy.rfind(':');
  if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket)) proxy += ":80";
  return proxy;
}

bool BypassesProxy(std::string_view bypassList, std::string_view host, unsigned port, bool secure) {
  const std::string hostPort = std::string(host) + ":" + std::to_string(port);
  for (std::string_view entry : Entries(bypassList)) {
    if (EqualsNoCase(entry, "<local>")) {
      if (host.find('.') == std::string_view::npos && host.find(':') == std::string_view::npos) return true;
      continue;
    }
    if (entry.find("://") != std::string_view::npos) {
      if (!ascii::StartsWithNoCase(entry, secure ? "https://" : "http://")) continue;
      entry = StripScheme(entry);
    }
    // An entry with a port matches only that port.
    const std::size_t colon = entry.rfind(':');
    const bool hasPort =
        colon != std::string_view::npos && entry.find(']') == std::string_view::npos && entry.find(':') == colon;
    if (hasPort ? Matches(entry, hostPort) : Matches(entry, host)) return true;
  }
  return false;
}

}  // namespace kv::posix
