#pragma once
// The process-wide log: one file, four levelled operations, every entry
// stamped with local time and thread id and serialised under an object lock.
// The file is written through the platform's files, never a C stream.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "base/text_format.h"
#include "platform/win_types.h"

namespace kv {

// Levels: an entry is written when logLevel is at least its level.
constexpr std::uint8_t LOG_LEVEL_INFO = 1;
constexpr std::uint8_t LOG_LEVEL_ERROR = 2;
constexpr std::uint8_t LOG_LEVEL_DEBUG = 3;
constexpr std::uint8_t LOG_LEVEL_TRACE = 4;

// Open modes of InitAgentLogFile.
constexpr int LOG_MODE_APPEND = 1;
constexpr int LOG_MODE_TRUNCATE = 2;

class FileHandle;

// The byte of the log file (far beyond any log's end, so that it never covers
// what is written) that orders entries against a rotation across processes:
// every entry is appended holding it shared, and a rotation copies and empties
// the file holding it exclusively.
constexpr std::uint64_t kLogAppendLock = 0x7FFFFFFF00000000ull;

struct LoggerState {
  // The open log, owned here (null: no log). Each entry reaches the file in
  // one append, so that entries of several processes sharing the file never
  // mix.
  std::atomic<FileHandle*> gv_logFilePtr{nullptr};
  std::optional<std::string> logFileName;
  std::optional<std::string> logDirectory;
  std::optional<std::string> logFilePath;
  std::atomic<std::uint8_t> logLevel{0};
  // Its address is the key under which entries are serialised.
  std::unique_ptr<char> logLockKey;
  // Where a log without a directory goes ("<root>/logs"): the store's root
  // directory, handed down by the store when it starts.
  std::optional<std::string> rootDirectory;
};

// What a log line shows for a null text: what the C runtime prints for a
// null %s, without passing it one.
constexpr const char* kNullLogText = "(null)";
inline const char* LogText(const char* text) { return text ? text : kNullLogText; }
inline const char* LogText(const std::optional<std::string>& text) { return text ? text->c_str() : kNullLogText; }

// The process's logger, to look at; the operations below change it.
const LoggerState& Logger();
[[nodiscard]] bool IsLogOpen();
// Closes the log and forgets its whole configuration (tests).
void ResetLogger();
// The root directory under which a log without a directory is opened; null
// forgets it.
void SetLogRootDirectory(const char* directory);

void LogInfo(const char* format, ...) KV_PRINTF(1, 2);
void LogError(const char* format, ...) KV_PRINTF(1, 2);
void LogDebug(const char* format, ...) KV_PRINTF(1, 2);
void LogTrace(const char* format, ...) KV_PRINTF(1, 2);

[[nodiscard]] bool InitLoggerDefaults();
[[nodiscard]] bool SetLoggerParams(const char* fileName, const char* directory, DWORD level);
[[nodiscard]] bool CreateLogFile();
[[nodiscard]] bool OpenLogFile();
void CloseLogFile();
void FreeLoggerParams();
std::string GetLogTimestamp();
[[nodiscard]] int MakeDirectoryTree(const char* path);

// The key entries are written under (null when the log is not configured).
const void* LogLockKey();

}  // namespace kv
