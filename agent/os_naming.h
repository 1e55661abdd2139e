#pragma once
// A readable name of the running Windows version and edition, such as
// "Windows 10 Professional Edition (x64)".

#include <optional>
#include <string>

#include "platform/system_info.h"

namespace kv {

// The name; an empty text for a version the naming tables do not know;
// nullopt when the version cannot be read at all.
std::optional<std::string> GetOSNameEx();

// The name of Windows Vista and later from the version, the product type
// number of GetProductInfo, the version record's product type and the
// processor architecture.
std::string GetNT6OSName(DWORD major, DWORD minor, DWORD productInfo, BYTE productType, WORD architecture);

// "Windows XP ", "Windows Server 2003", "Windows 2000 ", "Windows NT " or no
// prefix, from the system's version; "UnSupported" when it cannot be read.
std::string GetNTVersionPrefix();

}  // namespace kv
