#include "startup/request_path.h"

#include <array>
#include <string_view>

#include "agent/agent_settings.h"
#include "agent/text_conversion.h"
#include "base/log_writer.h"
#include "platform/unicode.h"
#include "transfer/transfer_types.h"

namespace kv {
namespace {

// Requests the on-demand edition's servlets answer themselves; every other
// download is a file of the client data.
constexpr std::array<std::u16string_view, 4> kServletMarkers = {u"/agentrequest?", u"/agentslot?", u"/agenttrayicon?",
                                                                u"agentinfo?"};

bool IsServletRequest(const std::string& path) {
  const std::u16string lower = ToLower(Utf8ToUtf16(path));
  for (std::u16string_view marker : kServletMarkers) {
    if (lower.find(marker) != std::u16string::npos) return true;
  }
  return false;
}

std::string OnDemandPath(const std::string& path, const char* code, int requestType, bool toManagementServer) {
  if (!toManagementServer || (requestType != GET_DATA && requestType != DOWNLOAD_FILE)) {
    LogInfo(
        "AgentSendRequest - gv_kvProductCode is [%s], toKVServer is set to [%d]. Request Type is NOT GET_DATA / "
        "DOWNLOAD_FILE and is [%d]\n",
        code, toManagementServer ? 1 : 0, requestType);
    return path;
  }
  if (IsServletRequest(path)) {
    LogInfo(
        "AgentSendRequest - gv_kvProductCode is [%s], requestType is GET_DATA / DOWNLOAD_FILE [%d] and is servlet "
        "request \n",
        code, requestType);
    return path;
  }
  return "clientdatarequest?fileName=" + path;
}

}  // namespace

std::string EditionRequestPath(const std::string& path, int requestType, bool toManagementServer) {
  const std::string& code = Agent().gv_kvProductCode;
  std::string rewritten;
  if (EqualsNoCase(std::string_view(code), "KVOD")) {
    rewritten = OnDemandPath(path, code.c_str(), requestType, toManagementServer);
  } else if (EqualsNoCase(std::string_view(code), "MSPQZ")) {
    rewritten = "kv/" + path;
    LogInfo("AgentSendRequest - gv_kvProductCode is [%s], requestType is GET_DATA / DOWNLOAD_FILE [%d] \n",
            code.c_str(), requestType);
  } else {
    LogDebug("AgentSendRequest - Stand Alone / MSP build : gv_kvProductCode is [%s] \n", code.c_str());
    rewritten = path;
  }
  std::string utf8;
  ChangeAnsiToUTF8Str(rewritten.c_str(), utf8);
  return utf8;
}

}  // namespace kv
