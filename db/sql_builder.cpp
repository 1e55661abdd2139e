#include "db/sql_builder.h"

#include <new>

#include "base/log_writer.h"

namespace kv {

std::optional<std::string> SqlBuilder::Take(const char* memoryMessage) const {
  try {
    if (!failed_) return std::string(text_.view());
  } catch (const std::bad_alloc&) {
  }
  LogError("%s", memoryMessage);
  return std::nullopt;
}

void LogMemoryFailure() { LogError("MEMORY_ALLOCATION_FAILURE\n"); }

}  // namespace kv
