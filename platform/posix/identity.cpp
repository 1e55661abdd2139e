// The emulated machine's network identity, from machine.json: "adapters" and
// "identity" (computer_name, join_status, join_name, domain_controller). A
// key that is absent makes the facility fail as Windows fails when it has
// nothing to give.

#include "platform/identity.h"

#include <algorithm>
#include <atomic>
#include <cstddef>

#include "platform/ascii.h"
#include "platform/last_error.h"
#include "platform/posix/machine.h"
#include "platform/unicode.h"

namespace kv {
namespace {

// What a 32-bit process's IP_ADAPTER_INFO and each further IP_ADDR_STRING take.
constexpr DWORD kAdapterRecordBytes = 640;
constexpr DWORD kAddressRecordBytes = 40;
// IP_ADDRESS_STRING holds 15 characters and the terminator.
constexpr std::size_t kAddressTextLength = 15;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;

DWORD Fail(DWORD code) {
  SetLastError(code);
  return code;
}

std::string Text(const nlohmann::json& object, const char* name) {
  if (!object.is_object()) return {};
  const auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::optional<std::string> OptionalText(const nlohmann::json& object, const char* name) {
  if (!object.is_object()) return std::nullopt;
  const auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

DWORD Number(const nlohmann::json& object, const char* name) {
  if (!object.is_object()) return 0;
  const auto it = object.find(name);
  return it != object.end() && it->is_number_integer() ? static_cast<DWORD>(it->get<long long>()) : 0;
}

// "00:15:5d:01:02:03" as bytes. The address ends at the first component that
// is not one or two hexadecimal digits, and at the eighth byte.
std::vector<BYTE> HardwareAddress(const std::string& text) {
  std::vector<BYTE> bytes;
  std::size_t start = 0;
  while (start < text.size() && bytes.size() < MAX_ADAPTER_ADDRESS_LENGTH) {
    std::size_t end = text.find(':', start);
    if (end == std::string::npos) end = text.size();
    const std::size_t length = end - start;
    if (length < 1 || length > 2) break;
    int value = 0;
    for (std::size_t i = start; i < end; ++i) {
      const int digit = ascii::HexDigitValue(text[i]);
      if (digit < 0) return bytes;
      value = value * 16 + digit;
    }
    bytes.push_back(static_cast<BYTE>(value));
    start = end + 1;
  }
  return bytes;
}

std::vector<AdapterInfo> MachineAdapters() {
  std::vector<AdapterInfo> adapters;
  const auto& list = posix::MachineValue("/adapters");
  if (!list.is_array()) return adapters;
  for (const auto& entry : list) {
    if (!entry.is_object()) continue;
    AdapterInfo adapter;
    adapter.index = Number(entry, "index");
    adapter.address = HardwareAddress(Text(entry, "mac"));
    const auto it = entry.find("addresses");
    if (it != entry.end() && it->is_array()) {
      for (const auto& address : *it) {
        adapter.ipAddressList.push_back(IpAddressString{Text(address, "ip").substr(0, kAddressTextLength),
                                                        Text(address, "mask").substr(0, kAddressTextLength),
                                                        Number(address, "context")});
      }
    }
    if (adapter.ipAddressList.empty()) adapter.ipAddressList.push_back({"0.0.0.0", "0.0.0.0", 0});
    adapters.push_back(std::move(adapter));
  }
  return adapters;
}

DWORD BytesNeeded(const std::vector<AdapterInfo>& adapters) {
  DWORD bytes = 0;
  for (const auto& adapter : adapters)
    bytes += kAdapterRecordBytes + kAddressRecordBytes * static_cast<DWORD>(adapter.ipAddressList.size() - 1);
  return bytes;
}

std::atomic<int> winsockStarts{0};

}  // namespace

DWORD GetAdaptersInfo(std::vector<AdapterInfo>* adapters, DWORD* size) {
  if (size == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::vector<AdapterInfo> found = MachineAdapters();
  if (found.empty()) return Fail(ERROR_NO_DATA);
  const DWORD needed = BytesNeeded(found);
  if (adapters == nullptr || *size < needed) {
    *size = needed;
    return Fail(ERROR_BUFFER_OVERFLOW);
  }
  *adapters = std::move(found);
  return ERROR_SUCCESS;
}

DWORD DsGetDcNameA(const char*, const char*, const void*, const char*, DWORD, DomainControllerInfo* info) {
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const auto& dc = posix::MachineValue("/identity/domain_controller");
  if (!dc.is_object()) return Fail(ERROR_NO_SUCH_DOMAIN);
  *info =
      DomainControllerInfo{OptionalText(dc, "name"),   OptionalText(dc, "address"), OptionalText(dc, "domain"),
                           OptionalText(dc, "forest"), OptionalText(dc, "dc_site"), OptionalText(dc, "client_site")};
  return ERROR_SUCCESS;
}

DWORD NetGetJoinInformation(const char16_t*, std::u16string* name, DWORD* status) {
  if (name == nullptr || status == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const auto& identity = posix::MachineValue("/identity");
  const auto& join = posix::MachineValue("/identity/join_status");
  DWORD value = 0;
  if (join.is_number_integer()) {
    value = static_cast<DWORD>(join.get<long long>());
  } else if (join.is_string()) {
    static constexpr const char* kNames[] = {"unknown", "unjoined", "workgroup", "domain"};
    const auto& text = join.get_ref<const std::string&>();
    const auto it = std::find_if(std::begin(kNames), std::end(kNames),
                                 [&text](const char* n) { return EqualsNoCase(std::string_view(n), text); });
    if (it == std::end(kNames)) return Fail(ERROR_INVALID_PARAMETER);
    value = static_cast<DWORD>(it - std::begin(kNames));
  } else {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  *name = Utf8ToUtf16(Text(identity, "join_name"));
  *status = value;
  return ERROR_SUCCESS;
}

bool GetComputerNameExW(DWORD nameType, char16_t* buffer, DWORD* size) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // The machine knows its host name only; the other forms need a DNS domain.
  if (nameType != ComputerNamePhysicalDnsHostname && nameType != ComputerNameDnsHostname) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  const auto& value = posix::MachineValue("/identity/computer_name");
  if (!value.is_string()) {
    // Windows keeps the name in the registry: a missing value.
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  const std::u16string name = Utf8ToUtf16(value.get<std::string>());
  if (buffer == nullptr || *size < name.size() + 1) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_MORE_DATA);
    return false;
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = u'\0';
  *size = static_cast<DWORD>(name.size());
  return true;
}

int WSAStartup(WORD version) {
  // Versions before 1.1 do not exist.
  if ((version & 0xFF) < 1 || (version == 1)) {
    SetLastError(WSAVERNOTSUPPORTED);
    return WSAVERNOTSUPPORTED;
  }
  ++winsockStarts;
  return 0;
}

int WSACleanup() {
  int started = winsockStarts.load();
  while (started > 0 && !winsockStarts.compare_exchange_weak(started, started - 1)) {
  }
  if (started <= 0) {
    SetLastError(WSANOTINITIALISED);
    return -1;  // SOCKET_ERROR
  }
  return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }

}  // namespace kv
