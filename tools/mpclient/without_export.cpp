// A client library that lacks the WDStatus export, for the probe's failure road.

#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t WDEnable(std::int32_t) { return 0; }
