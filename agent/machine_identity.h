#pragma once
// What identifies this computer to the management server: its host name,
// its IPv4 and hardware addresses, the domain controller that serves it and
// the domain or workgroup it belongs to (the client namespace).

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace kv {

// Fills gv_localIPAddress, gv_localMACAddress, gv_localSubnetMask,
// gv_logonServer, gv_localComputerName and gv_clientNamespace. 0, or 13 when
// the host name or the namespace cannot be obtained; address and domain
// controller failures are logged and tolerated.
[[nodiscard]] int InitializeLocalMachineDetails();

// Three parallel comma-separated lists, one entry per usable IPv4 address in
// the system's order of adapters and addresses; the MAC list is "--" when no
// MAC entry was added. The lists are set empty first. 0 or a Windows error code.
[[nodiscard]] DWORD GetMACandIPAddress(std::optional<std::string>& ipList, std::optional<std::string>& macList,
                         std::optional<std::string>& maskList);

// The flat name of the domain controller, without its leading backslashes.
// 0 or the error code of the domain controller query.
[[nodiscard]] DWORD GetComputerLogonServer(std::optional<std::string>& name);

// The physical DNS host name. 1 on success, 0 on failure.
[[nodiscard]] int GetLocalComputerName(std::optional<std::string>& name);

// The name of the domain or workgroup. 1 on success, 0 on failure.
[[nodiscard]] int GetComputerNameSpace(std::optional<std::string>& name);

}  // namespace kv
