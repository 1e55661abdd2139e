#pragma once
// The agent's start-up: its registry settings read once into the
// process-wide settings (agent/agent_settings.h), the computer's identity,
// the resource identifier, the proxy and a banner of it all in the log.

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace kv {

// Result of InitializeAgentParameters for a computer marked as imaged: every
// setting is filled and the banner logged, but the agent must not go on.
constexpr int AGENT_COMPUTER_IMAGED = 10047;

// 0, 13 on the first fatal read failure (later settings keep their initial
// values), or AGENT_COMPUTER_IMAGED.
[[nodiscard]] int InitializeAgentParameters();
// 0 or 13.
[[nodiscard]] int InitializeServerDetailsFromRegistry();
[[nodiscard]] int InitializeDSServerDetailsFromRegistry();
[[nodiscard]] int InitializeAgentDetails();
// "CustomerId": 0, or 13 (logged) when it is absent or empty; null then.
[[nodiscard]] int GetCustomerId(std::optional<std::string>& customerId);

// Readers of the optional settings: each fills its setting, with the default
// where the value is absent, and returns 0.
int GetHTTPRequestTimeout();
int GetHTTPConnectionTimeout();
int GetEnableRemoteOfficeMgmt();
int GetProxyEnabled();
int GetChecksumEnabled();
// Stores 0 and writes "0" back when the value is absent, empty or above
// 3072 KBps.
int GetDataTransferRate();
// Stores "no" when the value is absent; the result is that write's code.
[[nodiscard]] LONG GetEnableDSRoute();
// "ImagedComputer"; 0 when it cannot be read.
[[nodiscard]] int GetImagedComputer(DWORD& imaged);

// The name through which the management (resp. distribution) server was
// last reached, stored as REG_SZ under ServerInfo.
[[nodiscard]] LONG writeLastAccessName(const char* name);
[[nodiscard]] LONG writeDSLastAccessName(const char* name);

// A string value of the agent's registry; null when it cannot be read.
std::optional<std::string> ReadAgentString(const std::string& keyPath, const char* valueName);

}  // namespace kv
