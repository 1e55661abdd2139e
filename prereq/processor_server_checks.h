#pragma once
// Whether the processor is an AMD processor, whether Windows is a server
// edition, and the settings that switch the side-channel mitigations on for
// a server.

namespace kv {

[[nodiscard]] bool IsAMDProcessor();
[[nodiscard]] int IsServerOS();
void enableProtectioninServerOS();

}  // namespace kv
