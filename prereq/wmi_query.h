#pragma once
// One process-wide WMI connection for the antivirus probes, and the text of
// property values.

#include <optional>
#include <string>

#include "platform/wmi.h"

namespace kv {

// The current connection; null when there is none.
WbemServices* wmiServices();
// Drops the connection without leaving COM (tests).
void ResetWmi();

[[nodiscard]] HRESULT ConnectWmiCimv2();
[[nodiscard]] HRESULT ConnectWmiSecurityCenter2();
void ReleaseWmi();

// The value as text; nullopt for kinds that have no text.
std::optional<std::u16string> VariantToText(const Variant& value, bool dateForm);

}  // namespace kv
