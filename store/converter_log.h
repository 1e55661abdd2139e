#pragma once
// The entry line every value-form converter writes at TRACE.

#include "base/log_writer.h"

namespace kv {

inline void LogConverterEntry(const char* name) { LogTrace("\n\t@@@@@ Inside %s() @@@@@\t\n", name); }

}  // namespace kv
