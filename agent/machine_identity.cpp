// This computer's identity as the management server knows it. Only the host
// name and the namespace are required: they form the server-side path of the
// computer's data. Addresses and the domain controller are informative, and
// a computer outside a domain has no domain controller at all.

#include "agent/machine_identity.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <vector>

#include "agent/agent_settings.h"
#include "agent/text_conversion.h"
#include "base/log_writer.h"
#include "platform/ascii.h"
#include "platform/identity.h"
#include "platform/last_error.h"
#include "platform/unicode.h"

namespace kv {
namespace {

// An append never makes a list longer than this many bytes with its NUL.
constexpr std::size_t kListAppendLimit = 32767;
// The host name buffer, in wide characters.
constexpr DWORD kComputerNameLength = 64;
constexpr WORD kWinsockVersion = 0x202;

// Appends what fits; the rest of the text is cut off.
void AppendBounded(std::string& list, std::string_view text) {
  const std::size_t capacity = kListAppendLimit - 1;
  const std::size_t room = list.size() < capacity ? capacity - list.size() : 0;
  list.append(text.substr(0, room));
}

// Pairs of lower-case hexadecimal digits joined by ':'; six bytes make the
// 17 characters of a MAC entry.
std::string FormatHardwareAddress(const std::vector<BYTE>& address) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0) text.push_back(':');
    text.push_back(kDigits[address[i] >> 4]);
    text.push_back(kDigits[address[i] & 0x0F]);
  }
  return text;
}
constexpr std::size_t kMacEntryLength = 17;

std::string Trim(std::string_view text) { return std::string(ascii::Trim(text, ascii::IsWhiteSpace<char>)); }

// Winsock is started for the host-name query and cleaned up on every way out.
class WinsockSession {
 public:
  WinsockSession() : started_(WSAStartup(kWinsockVersion) == 0) {}
  ~WinsockSession() {
    if (started_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;

 private:
  bool started_;
};

}  // namespace

DWORD GetMACandIPAddress(std::optional<std::string>& ipList, std::optional<std::string>& macList,
                         std::optional<std::string>& maskList) {
  ipList = std::string();
  macList = std::string();
  maskList = std::string();
  std::string& ips = *ipList;
  std::string& macs = *macList;
  std::string& masks = *maskList;

  DWORD size = 0;
  DWORD code = GetAdaptersInfo(nullptr, &size);
  if (code != ERROR_SUCCESS && code != ERROR_BUFFER_OVERFLOW) {
    LogError("GetMACandIPAddress : GetAdaptersInfo sizing failed with error %d\n", static_cast<int>(code));
    return code;
  }
  std::vector<AdapterInfo> adapters;
  try {
    code = GetAdaptersInfo(&adapters, &size);
  } catch (const std::bad_alloc&) {
    LogError("GetMACandIPAddress : Memory allocation error\n");
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (code != ERROR_SUCCESS) {
    LogError("GetMACandIPAddress : GetAdaptersInfo failed with error %d\n", static_cast<int>(code));
    return code;
  }

  for (const AdapterInfo& adapter : adapters) {
    const std::string mac = FormatHardwareAddress(adapter.address);
    for (const IpAddressString& entry : adapter.ipAddressList) {
      const int index = static_cast<int>(adapter.index);
      const int context = static_cast<int>(entry.context);
      std::printf("%-10.d%-10.d%-20.20s%s\n", index, context, entry.ipAddress.c_str(), entry.ipMask.c_str());
      LogInfo("ipAddress :%-10.d%-10.d%-20.20s%s\n", index, context, entry.ipAddress.c_str(), entry.ipMask.c_str());
      if (EqualsNoCase(std::string_view(entry.ipAddress), std::string_view("0.0.0.0"))) continue;
      // The separator conditions differ between the lists, and the server
      // reads them as they are.
      if (ips.size() > 2) AppendBounded(ips, ",");
      AppendBounded(ips, entry.ipAddress);
      if (mac.size() == kMacEntryLength) {
        if (macs.size() >= 2) AppendBounded(macs, ",");
        AppendBounded(macs, mac);
      }
      if (masks.size() > 2) AppendBounded(masks, ",");
      AppendBounded(masks, entry.ipMask);
    }
  }
  if (macs.empty()) macs = "--";

  LogDebug("GetMACandIPAddress : Local Machine MAC ADDRESS : %s \n", macs.c_str());
  LogDebug("GetMACandIPAddress : Local Machine IP ADDRESS  : %s \n", ips.c_str());
  LogDebug("GetMACandIPAddress : Local Machine Subnet Mask : %s \n", masks.c_str());
  return ERROR_SUCCESS;
}

DWORD GetComputerLogonServer(std::optional<std::string>& name) {
  name.reset();
  DomainControllerInfo info;
  const DWORD code = DsGetDcNameA(nullptr, nullptr, nullptr, nullptr, DS_RETURN_FLAT_NAME, &info);
  if (code != ERROR_SUCCESS) {
    LogError("GetComputerLogonServer: Error while fetching DC name! %d \n", static_cast<int>(code));
    return code;
  }
  LogDebug("GetComputerLogonServer : DomainControllerName :%s \n", LogText(info.domainControllerName));
  LogDebug("DomainControllerAddress :%s\n", LogText(info.domainControllerAddress));
  LogDebug("DomainName :%s\n", LogText(info.domainName));
  LogDebug("DnsForestName :%s\n", LogText(info.dnsForestName));
  LogDebug("DcSiteName :%s\n", LogText(info.dcSiteName));
  LogDebug("ClientSiteName :%s\n", LogText(info.clientSiteName));
  // The name comes as "\\DC01"; a shorter one is not read past.
  if (info.domainControllerName) {
    const std::string& dc = *info.domainControllerName;
    name = dc.substr(std::min<std::size_t>(2, dc.size()));
  }
  return ERROR_SUCCESS;
}

int GetLocalComputerName(std::optional<std::string>& name) {
  name.reset();
  WinsockSession winsock;
  std::array<char16_t, kComputerNameLength> buffer{};
  DWORD size = kComputerNameLength;
  if (!GetComputerNameExW(ComputerNamePhysicalDnsHostname, buffer.data(), &size)) {
    LogError("GetLocalComputerName: Error while getting computername! %d \n", WSAGetLastError());
    return 0;
  }
  std::string text;
  (void)ChangeWideToUtf8Str(buffer.data(), text);  // fails only for a null text
  LogDebug("GetLocalComputerName: Computer Name: %s \n", text.c_str());
  name = text;
  LogInfo("GetLocalComputerName : Computer Name : %s\n", name->c_str());
  return 1;
}

int GetComputerNameSpace(std::optional<std::string>& name) {
  name.reset();
  std::u16string joinName;
  DWORD status = 0;
  const DWORD code = NetGetJoinInformation(nullptr, &joinName, &status);
  if (code != ERROR_SUCCESS) {
    LogError("GetComputerNameSpace : Failed to retrive the namespace -> %d \n", static_cast<int>(code));
    return 0;
  }
  std::string text;
  (void)ChangeWideToUtf8Str(joinName.c_str(), text);  // fails only for a null text
  name = text;
  switch (status) {
    case NetSetupUnknownStatus: LogInfo("GetComputerNameSpace : The status is unknown. \n"); break;
    case NetSetupUnjoined: LogInfo("GetComputerNameSpace :The computer is not joined. \n"); break;
    case NetSetupWorkgroupName: LogInfo("GetComputerNameSpace :The computer is joined to a workgroup. \n"); break;
    case NetSetupDomainName: LogInfo("GetComputerNameSpace :The computer is joined to a domain. \n"); break;
    default: LogInfo("GetComputerNameSpace : The status is not determined .\n"); break;
  }
  return 1;
}

int InitializeLocalMachineDetails() {
  AgentSettings& agent = Agent();
  if (GetMACandIPAddress(agent.gv_localIPAddress, agent.gv_localMACAddress, agent.gv_localSubnetMask) != ERROR_SUCCESS)
    LogError("InitializeLocalMachineDetails : Error while fetching Local machine IP and MAC Addresses! \n");
  if (GetComputerLogonServer(agent.gv_logonServer) != ERROR_SUCCESS)
    LogError("InitializeLocalMachineDetails : Error while fetching computer domain controller ! \n");
  if (GetLocalComputerName(agent.gv_localComputerName) == 0) {
    LogError("InitializeLocalMachineDetails : Error occured while retrieving the local computer name !!! \n");
    return static_cast<int>(ERROR_INVALID_DATA);
  }
  std::optional<std::string> nameSpace;
  if (GetComputerNameSpace(nameSpace) == 0) {
    LogError("InitializeLocalMachineDetails : Error occured while retrieving the name space !!! \n");
    return static_cast<int>(ERROR_INVALID_DATA);
  }
  agent.gv_clientNamespace = Trim(*nameSpace);
  return 0;
}

}  // namespace kv
