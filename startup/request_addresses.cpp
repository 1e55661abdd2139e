#include "startup/request_addresses.h"

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "agent/agent_settings.h"
#include "agent/text_conversion.h"
#include "agent/text_operations.h"
#include "base/log_writer.h"
#include "platform/http.h"
#include "platform/unicode.h"
#include "startup/agent_parameters.h"
#include "startup/request_path.h"
#include "transfer/downloading.h"
#include "transfer/posting.h"
#include "transfer/transfer_types.h"

namespace kv {
namespace {

constexpr DWORD kHttpBadRequest = 400;
// An address this short is a placeholder and is not tried.
constexpr std::size_t kPlaceholderLength = 2;

// A server's addresses, in the order they are tried.
enum AddressSlot : std::size_t { kLastAccessName, kIpAddress, kSecondaryIpAddress, kServerName, kFlatName, kSlots };

// The server a request goes to, as the settings describe it.
struct Target {
  bool management = true;
  std::string protocol;
  int port = 0;
  std::array<const std::optional<std::string>*, kSlots> addresses{};
  // The setting that names the address that answered last.
  std::optional<std::string>* lastAccessName = nullptr;
  LONG (*writeLastAccessName)(const char*) = nullptr;
};

bool IsYes(const std::optional<std::string>& value) {
  return value && EqualsNoCase(std::string_view(*value), std::string_view("yes"));
}

Target ChooseTarget(std::uint8_t toServer) {
  AgentSettings& agent = Agent();
  Target target;
  target.management = toServer == 1 || !IsYes(agent.gv_enableDistributionServer);
  if (target.management) {
    target.protocol = agent.gv_serverProtocol;
    target.port = agent.gv_serverPort;
    target.addresses = {&agent.gv_lastAccessName, &agent.gv_serverIPAddress, &agent.gv_serverSecIPAddress,
                        &agent.gv_serverName, &agent.gv_serverFlatName};
    target.lastAccessName = &agent.gv_lastAccessName;
    target.writeLastAccessName = writeLastAccessName;
  } else {
    target.protocol = agent.gv_dsProtocol;
    target.port = agent.gv_dsPort;
    target.addresses = {&agent.gv_dsLastAccessName, &agent.gv_dsIPAddress, &agent.gv_dsSecIPAddress, &agent.gv_dsName,
                        &agent.gv_dsFlatName};
    target.lastAccessName = &agent.gv_dsLastAccessName;
    target.writeLastAccessName = writeDSLastAccessName;
  }
  return target;
}

const char* TextOf(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

// The proxy goes only towards the management server; the distribution
// server is always reached directly. The credentials are converted without
// tracing their text, so the password never reaches the log.
void SetProxy(bool management, ConnectionParameters& params) {
  const AgentSettings& agent = Agent();
  if (!IsYes(agent.gv_proxyEnabled)) return;
  ChangeToWideStr(TextOf(agent.gv_proxyUserName), params.proxyUserName);
  ChangeToWideStr(agent.gv_proxyPassword.c_str(), params.proxyPassword);
  ChangeToWideStr(TextOf(agent.gv_proxyServerName), params.proxyServerName);
  ChangeToWideStr(TextOf(agent.gv_proxyByPass), params.proxyByPass);
  params.useProxy = management;
}

// What one request carries to every attempt.
struct Request {
  const std::string* data;
  std::u16string destination;  // GET types: the data as wide text
  std::string* reply;
  int type;
  bool keepAlive;
  DWORD postArgument;
  int transferMode;
};

// One attempt at the address in params; nullopt when the transfer mode
// starts no download.
std::optional<DWORD> SendOnce(const Request& request, const ConnectionParameters& params) {
  switch (request.type) {
    case SEND_DATA:
    case SEND_DATA_PLAIN:
    case SEND_MULTIPART:
      return InternetSendRequestEx(params, request.data, request.reply, request.type, request.keepAlive,
                                   request.postArgument);
    case SEND_FILE_BY_BITRATE:
      return InternetSendRequestByBitRate(params, request.data ? request.data->c_str() : nullptr, request.reply,
                                          request.postArgument);
    default: break;
  }
  if (request.transferMode == TRANSFER_MODE_NORMAL)
    return InternetGetRequestEx(params, request.destination, request.reply, request.type, request.keepAlive);
  if (request.transferMode == TRANSFER_MODE_PACED)
    return InternetGetRequestByBitrate(params, request.destination, request.reply, request.type, request.keepAlive);
  return std::nullopt;
}

// The attempts over a server's addresses and what they came to.
class AddressAttempts {
 public:
  AddressAttempts(const Request& request, ConnectionParameters params,
                  const std::array<std::u16string, kSlots>& addresses)
      : request_(request), params_(std::move(params)), addresses_(addresses) {}

  // The fixed order: the last access name; on a result of the retry set
  // the IP address; on any failure of that the secondary IP address; then,
  // while results stay in the retry set, the server name and the flat name.
  void Run() {
    Try(kLastAccessName);
    if (!IsAddressRetryResult(result_)) return;
    if (Try(kIpAddress)) return;
    if (Try(kSecondaryIpAddress) || !IsAddressRetryResult(result_)) return;
    if (Try(kServerName) || !IsAddressRetryResult(result_)) return;
    Try(kFlatName);
  }

  DWORD result() const { return result_; }
  // The address that answered when it was not the last access name.
  std::optional<AddressSlot> newLastAccess() const { return newLastAccess_; }

 private:
  // Whether the address was tried and answered with success. An address too
  // short to try leaves the result as it was.
  bool Try(AddressSlot slot) {
    const std::u16string& address = addresses_[slot];
    if (address.size() <= kPlaceholderLength) return false;
    params_.serverName = address;
    const std::optional<DWORD> result = SendOnce(request_, params_);
    if (!result) return false;
    result_ = *result;
    if (!IsRequestSuccess(result_)) return false;
    if (slot != kLastAccessName) newLastAccess_ = slot;
    return true;
  }

  const Request& request_;
  ConnectionParameters params_;
  const std::array<std::u16string, kSlots>& addresses_;
  DWORD result_ = ERROR_WINHTTP_NAME_NOT_RESOLVED;
  std::optional<AddressSlot> newLastAccess_;
};

// The address that answered becomes the last access name; success writes
// it (changed or not) to the registry.
void RememberLastAccess(const Target& target, const AddressAttempts& attempts) {
  if (!IsRequestSuccess(attempts.result())) return;
  if (const std::optional<AddressSlot> slot = attempts.newLastAccess())
    *target.lastAccessName = *target.addresses[*slot];
  const char* name = TextOf(*target.lastAccessName);
  target.writeLastAccessName(name);
  LogInfo("AgentSendRequest : Last Access Address is %s \n", LogText(name));
}

}  // namespace

bool IsAddressRetryResult(DWORD result) {
  return result == ERROR_WINHTTP_NAME_NOT_RESOLVED || result == ERROR_WINHTTP_CANNOT_CONNECT ||
         result == ERROR_WINHTTP_TIMEOUT || result == ERROR_WINHTTP_INVALID_URL || result == kHttpBadRequest;
}

bool IsRequestSuccess(DWORD result) { return result == ERROR_SUCCESS || result == NOT_MODIFIED_RESULT; }

DWORD AgentSendRequest(const char* path, const std::string* data, std::string* reply, int requestType, bool keepAlive,
                       std::uint8_t toServer, DWORD postArgument, int transferMode) {
  const Target target = ChooseTarget(toServer);
  ConnectionParameters params;
  params.protocol = target.protocol;
  params.serverPort = target.port;

  const std::string url = EditionRequestPath(ReplaceChar(path, '\\', '/'), requestType, target.management);
  LogInfo("AgentSendRequest : The url to get / send in UTF8 format is given by %s \n", url.c_str());
  ChangeUtf8ToWideStr(url.c_str(), params.objectPath);

  Request request{data, {}, reply, requestType, keepAlive, postArgument, transferMode};
  if (transferMode != TRANSFER_MODE_NO_DOWNLOAD) {
    const char* text = data ? data->c_str() : nullptr;
    if (requestType == GET_DATA) ChangeUtf8ToWideStr(text, request.destination);
    if (requestType == DOWNLOAD_FILE) ChangeToWideStr(text, request.destination);
  }

  std::array<std::u16string, kSlots> addresses;
  for (std::size_t slot = 0; slot < kSlots; ++slot)
    ChangeUtf8ToWideStr(TextOf(*target.addresses[slot]), addresses[slot]);
  SetProxy(target.management, params);

  AddressAttempts attempts(request, std::move(params), addresses);
  attempts.Run();
  RememberLastAccess(target, attempts);
  return attempts.result();
}

DWORD AgentSendRequestGetData(const char* path, std::string* reply, bool keepAlive) {
  return AgentSendRequest(path, nullptr, reply, GET_DATA, keepAlive, 1, 0, TRANSFER_MODE_NORMAL);
}

}  // namespace kv
