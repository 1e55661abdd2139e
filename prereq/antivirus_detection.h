#pragma once
// The antivirus probes: registered products in the security centre
// (clients), installed products and Windows Defender (servers).

namespace kv {

// Sets *found when an enabled antivirus product is registered; never clears it.
void LoadInstalledUpdatesUsingWMI(bool* found);
// Sets *found at the first installed product whose name is an antivirus product's.
void FindAntivirusInInstalledProducts(bool* found);
[[nodiscard]] bool IsAntivirusProductName(const char* productName);
// True when Windows Defender reports itself enabled.
[[nodiscard]] bool defenderStatusCheck();

}  // namespace kv
