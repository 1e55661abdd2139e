#include "transfer_target.h"

#include <cctype>
#include <filesystem>

#include "platform/files.h"
#include "platform/host_path.h"
#include "platform/unicode.h"

namespace kv::cli {
namespace {

namespace fs = std::filesystem;

bool IsDirectory(const std::string& windowsPath) {
  const DWORD attributes = GetFileAttributes(windowsPath);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& windowsPath) { return GetFileAttributes(windowsPath) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool ParseTransferUrl(const std::string& url, ConnectionParameters* params, std::string* error) {
  const std::size_t scheme = url.find("://");
  const std::string protocol = scheme == std::string::npos ? "" : url.substr(0, scheme);
  if (!EqualsNoCase(std::string_view(protocol), "http") && !EqualsNoCase(std::string_view(protocol), "https")) {
    *error = "malformed URL " + url + ": it must begin with http:// or https://";
    return false;
  }
  const std::string rest = url.substr(scheme + 3);
  const std::size_t pathStart = rest.find_first_of("/?");
  const std::string authority = rest.substr(0, pathStart);
  std::string path = pathStart == std::string::npos ? "/" : rest.substr(pathStart);
  if (path[0] == '?') path.insert(path.begin(), '/');

  std::string host = authority;
  std::string portText;
  bool hasPort = false;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) {
      *error = "malformed URL " + url + ": unclosed [ in the host";
      return false;
    }
    host = authority.substr(1, close - 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') {
        *error = "malformed URL " + url + ": unexpected text after the host";
        return false;
      }
      portText = authority.substr(close + 2);
      hasPort = true;
    }
  } else if (const std::size_t colon = authority.find(':'); colon != std::string::npos) {
    host = authority.substr(0, colon);
    portText = authority.substr(colon + 1);
    hasPort = true;
  }
  if (host.empty() || host.find_first_of("@ \t") != std::string::npos) {
    *error = "malformed URL " + url + ": no host";
    return false;
  }
  int port = EqualsNoCase(std::string_view(protocol), "https") ? 443 : 80;
  if (hasPort) {
    if (portText.empty() || portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(portText) < 1 || std::stoi(portText) > 65535) {
      *error = "malformed URL " + url + ": the port must be a number from 1 to 65535";
      return false;
    }
    port = std::stoi(portText);
  }
  params->protocol = protocol;
  params->serverName = Utf8ToUtf16(host);
  params->serverPort = port;
  params->objectPath = Utf8ToUtf16(path);
  return true;
}

namespace {

bool CheckImageDestination(const std::string& destination, const std::string& path, std::string* error) {
  if (path.back() == '\\') {
    *error = "destination " + destination + " names a directory, not a file";
    return false;
  }
  if (IsDirectory(path)) {
    *error = "destination " + destination + " is a directory";
    return false;
  }
  // The nearest existing ancestor must be a directory for the file to be made.
  for (std::size_t cut = path.rfind('\\'); cut != std::string::npos && cut > 2; cut = path.rfind('\\', cut - 1)) {
    const std::string parent = path.substr(0, cut);
    if (!Exists(parent)) continue;
    if (!IsDirectory(parent)) {
      *error = "destination " + destination + " cannot be written: " + parent + " is not a directory";
      return false;
    }
    break;
  }
  return true;
}

bool CheckHostDestination(const std::string& destination, const std::string& path, std::string* error) {
  if (path.back() == '/' || path.back() == '\\') {
    *error = "destination " + destination + " names a directory, not a file";
    return false;
  }
  std::error_code ignored;
  fs::path host = HostPath(path);
  if (fs::is_directory(host, ignored)) {
    *error = "destination " + destination + " is a directory";
    return false;
  }
  for (fs::path parent = host.parent_path(); !parent.empty(); parent = parent.parent_path()) {
    if (!fs::exists(parent, ignored)) {
      if (parent == parent.parent_path()) break;
      continue;
    }
    if (!fs::is_directory(parent, ignored)) {
      *error = "destination " + destination + " cannot be written: " + Utf8Of(parent) + " is not a directory";
      return false;
    }
    break;
  }
  return true;
}

}  // namespace

bool ResolveDestination(const std::string& destination, Place* place, std::string* error) {
  if (destination.empty()) {
    *error = "the destination is empty: a file to download into is needed";
    return false;
  }
  if (destination == "-") {
    place->kind = Place::Kind::kOutput;
    place->path.clear();
    return true;
  }
  PersonPath where = ResolvePersonPath(destination);
  if (where.onMachine) {
    for (char& c : where.path)
      if (c == '/') c = '\\';
    if (!CheckImageDestination(destination, where.path, error)) return false;
    *place = {Place::Kind::kImage, where.path};
    return true;
  }
  if (!CheckHostDestination(destination, destination, error)) return false;
  *place = {Place::Kind::kHost, where.path};
  return true;
}

Place ResolveSource(const std::string& file) {
  const PersonPath where = ResolvePersonPath(file);
  return {where.onMachine ? Place::Kind::kImage : Place::Kind::kHost, where.path};
}

}  // namespace kv::cli
