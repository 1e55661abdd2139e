#pragma once
// The agent's own log: start-up and shut-down, and the timer that keeps it
// from growing without bound by copying it to numbered backups
// ("name1.log" newest ... "name<backupCount-1>.log" oldest) and emptying it.

#include <cstdint>
#include <string>

#include "base/log_writer.h"
#include "platform/win_types.h"

namespace kv {

struct LoggerConfig {
  // Reads "KVAgentInstallDir" first when gv_agentInstallDir is still empty.
  LoggerConfig();

  std::string fileName = "computer.log";
  // gv_agentInstallDir followed directly by "logs".
  std::string logDirectory;
  // Files kept: the live log and backupCount - 1 backups.
  std::int32_t backupCount = 5;
  // Size in bytes from which the log is rotated.
  std::int32_t maxFileSize = 2000000;
  // Delay between two size checks.
  std::int32_t timerPeriodMs = 900000;
  std::int32_t openMode = LOG_MODE_APPEND;
  // Check periodically (true) or once at start-up.
  bool useTimer = true;
};

// Starts the agent log; 0, or the registry error when the installation
// directory cannot be read.
[[nodiscard]] LONG StartAgentLog(const char* fileName);
// Stops the timer (waiting for a check in progress), closes and frees the log.
int StopAgentLog();
// Stops the size checks and forgets their configuration (tests).
void ResetAgentLogTimer();

// Starts the size checks and opens the log: the result of InitAgentLogFile.
// config is the timer's parameter and must live until StopAgentLog.
[[nodiscard]] int StartLogger(LoggerConfig& config);
// Checks the size now and arms the next check; 0 or the timer's error code.
[[nodiscard]] DWORD LoggerTimerMethod(LoggerConfig& config);
// The timer callback; parameter is the LoggerConfig.
void LoggerTimerRoutine(void* parameter, bool fired);

// Rotates directory\fileName when it has reached limit bytes; a null or
// empty directory means the agent's "logs" folder. Result 0.
[[nodiscard]] int RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int backupCount, std::int64_t limit);
// 1 when the file is at least limit bytes long, else 0 (also when missing).
[[nodiscard]] int CheckLogSizeReached(const char* path, std::int64_t limit);
// Rotates every file of the ";"-separated list regardless of its size.
// folder ends with a backslash; null means the agent's "logs" folder.
[[nodiscard]] LONG RotateSpecificLogs(const char* folder, const char* fileNames, int backupCount);
// Entries of folder whose name begins with base; -1 when the search fails.
[[nodiscard]] int FindNoOfRepeatedFileNames(const char* folder, const char* base);
// folder, "\", the file name up to its first ".log", number, ".log".
std::string BuildBackupLogName(const char* folder, const char* fileName, int number);

}  // namespace kv
