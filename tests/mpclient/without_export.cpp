// A client library that lacks the WDStatus export, for the probe's failure road.

#include <cstdint>

#include "tests/mpclient/export.h"

extern "C" KV_MPCLIENT_EXPORT std::int32_t KV_MPCLIENT_CALL WDEnable(std::int32_t) { return 0; }
