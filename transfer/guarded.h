#pragma once
// The resumable download's operations let no failure out: what they did
// not expect is logged with the operation's own line and answered with a
// result that says so, and the download ends in order.

#include "base/log_writer.h"

namespace kv {

template <typename Result, typename Body>
Result Guarded(const char* caughtLine, Result failed, Body&& body) {
  try {
    return body();
  } catch (...) {
    LogError("%s", caughtLine);
    return failed;
  }
}

template <typename Body>
void Guarded(const char* caughtLine, Body&& body) {
  try {
    body();
  } catch (...) {
    LogError("%s", caughtLine);
  }
}

}  // namespace kv
