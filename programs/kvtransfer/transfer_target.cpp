#include "transfer_target.h"

#include <cctype>
#include <filesystem>

#include "platform/files.h"
#include "platform/unicode.h"

namespace kv::cli {
namespace {

namespace fs = std::filesystem;

bool IsWindowsPath(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         (path[2] == '\\' || path[2] == '/');
}

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

bool ResolveDestination(const std::string& destination, std::string* windowsPath, std::string* error) {
  if (destination.empty()) {
    *error = "the destination is empty: a file to download into is needed";
    return false;
  }
  std::string path = destination;
  if (!IsWindowsPath(path)) {
    // A host path inside the image's C: drive stands for its C:\ path.
    std::error_code unusable;
    const fs::path drive = fs::weakly_canonical(fs::path(MapPath("C:\\")), unusable);
    const fs::path absolute = unusable ? fs::path() : fs::absolute(fs::path(destination), unusable);
    const fs::path host = unusable ? fs::path() : fs::weakly_canonical(absolute, unusable);
    if (unusable) {
      *error = "destination " + destination + " cannot be used: " + unusable.message();
      return false;
    }
    const fs::path relative = host.lexically_relative(drive);
    if (relative.empty() || *relative.begin() == ".." || relative == ".") {
      *error = "destination " + destination + " is neither a Windows path of the image nor a path under its drive_c";
      return false;
    }
    path = "C:\\" + relative.generic_string();
    for (char& c : path)
      if (c == '/') c = '\\';
  }
  for (char& c : path)
    if (c == '/') c = '\\';
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
  *windowsPath = path;
  return true;
}

}  // namespace kv::cli
