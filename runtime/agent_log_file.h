#pragma once
// The agent's own log opened with the level and event setting the agent
// keeps in its registry key.

namespace kv {

// Opens the log with a mode of the log writer (LOG_MODE_APPEND or
// LOG_MODE_TRUNCATE); 0 when it is open, 13 otherwise.
[[nodiscard]] int InitAgentLogFile(const char* fileName, const char* directory, int openMode);

}  // namespace kv
