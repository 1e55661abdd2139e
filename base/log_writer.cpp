// The process-wide log writer: configuration, opening and closing of the one
// log file, and the four levelled operations that write its entries.

#include "base/log_writer.h"

#include <cstdarg>
#include <new>

#include "base/failure_capture.h"
#include "base/object_locks.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/system.h"

namespace kv {
namespace {

constexpr const char* kDefaultLogName = "cfennel.log";
constexpr std::uint8_t kDefaultLevel = LOG_LEVEL_DEBUG;

// "2018-01-05 09:07:03:045" into a buffer of the caller; no allocation, so
// an entry always has its timestamp.
struct TimestampText {
  char text[64];
};

TimestampText FormatTimestamp() {
  const SystemTime now = GetLocalTime();
  TimestampText out{};
  std::snprintf(out.text, sizeof out.text, "%d-%02d-%02d %02d:%02d:%02d:%03d", now.year, now.month, now.day, now.hour,
                now.minute, now.second, now.milliseconds);
  return out;
}

LoggerState& State() {
  // Never destroyed: threads that log during exit find it intact.
  static LoggerState* state = new LoggerState;
  return *state;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Appends a whole entry in one write, holding the append lock shared so that
// a rotation in another process never empties the file between our copy and
// its truncation. A failed write is not reported, as with a stream; but a
// write that a full or failing disk cut short is taken back when nothing
// followed it, so that the log holds no torn entry.
void Append(FileHandle& file, std::string_view text) {
  const bool locked = file.LockRange(kLogAppendLock, false) == ERROR_SUCCESS;
  std::int64_t before = -1, after = -1;
  (void)file.GetSize(&before);  // -1 when it cannot be measured: nothing is taken back
  DWORD written = 0;
  if (file.Write(text.data(), static_cast<DWORD>(text.size()), &written) != ERROR_SUCCESS && written > 0 &&
      before >= 0 && file.GetSize(&after) == ERROR_SUCCESS && after == before + written &&
      file.SetPointer(before, FILE_BEGIN) == ERROR_SUCCESS)
    (void)file.SetEndOfFile();  // the disk's own failure stands; the entry is lost either way
  if (locked) file.UnlockRange(kLogAppendLock);
}

KV_PRINTF(3, 0) void WriteEntry(std::uint8_t threshold, const char* tag, const char* format, std::va_list args) {
  LoggerState& state = State();
  if (!state.gv_logFilePtr.load()) return;
  const std::uint8_t level = state.logLevel.load();
  if (level == 0 || level < threshold) return;
  const void* key = state.logLockKey.get();
  if (!key) return;

  // Logging leaves the caller's last error as it found it.
  const DWORD lastError = GetLastError();
  (void)LockObject(key);  // a key that is not null is always taken
  // Looked at again under the lock: closing the log clears it under the
  // same lock, so an entry never reaches a closed file.
  if (FileHandle* file = state.gv_logFilePtr.load()) {
    try {
      // The whole entry first, then one append.
      std::string entry =
          Format("[ %s ] [ %d ] %s ", FormatTimestamp().text, static_cast<int>(GetCurrentThreadId()), tag);
      entry += FormatV(format, args);
      Append(*file, entry);
    } catch (const std::bad_alloc&) {
      // No memory for the entry: it is lost, as an entry that cannot be written is.
    }
  }
  (void)UnlockObject(key);
  SetLastError(lastError);
}

// Opens the configured log. Truncating empties the file first (under the
// append lock, as a rotation does), and every open then appends: a writer at
// its own position would, after a rotation has emptied the file under it,
// go on at the old offset and leave a hole of zero bytes. Only a regular file
// is opened: a FIFO or a device at the log's path leaves the log closed.
bool OpenWithMode(bool truncate) {
  LoggerState& state = State();
  if (state.gv_logFilePtr.load()) {
    LogTrace("gv_logFilePtr already Set\n");
    return true;
  }
  if (!state.logFileName) return false;
  try {
    std::string path;
    if (state.logDirectory) {
      // A directory that cannot be made shows when the file cannot be opened.
      (void)MakeDirectoryTree(state.logDirectory->c_str());
      path = *state.logDirectory + "/" + *state.logFileName;
    } else if (const auto& root = state.rootDirectory) {
      const std::string logs = *root + "/logs";
      (void)MakeDirectoryTree(logs.c_str());
      path = *root + "/logs/" + *state.logFileName;
    } else {
      (void)MakeDirectory("../logs");  // opening the log reports a missing folder
      path = "../logs/" + *state.logFileName;
    }
    state.logFilePath = path;

    if (truncate) {
      FileHandle emptied;
      if (CreateFile(path, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_ALWAYS, 0, &emptied)) return false;
      const bool locked = emptied.LockRange(kLogAppendLock, true) == ERROR_SUCCESS;
      const DWORD error = emptied.SetEndOfFile();  // at offset 0: empty
      if (locked) emptied.UnlockRange(kLogAppendLock);
      if (error) return false;
    }
    auto file = std::make_unique<FileHandle>();
    if (CreateFile(path, GENERIC_READ | FILE_APPEND_DATA, kShareAll, OPEN_ALWAYS, 0, file.get())) return false;
    Append(*file, Format("Log open time: %s\n", FormatTimestamp().text));
    state.gv_logFilePtr.store(file.release());
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

const LoggerState& Logger() { return State(); }

bool IsLogOpen() { return State().gv_logFilePtr.load() != nullptr; }

void ResetLogger() {
  CloseLogFile();
  FreeLoggerParams();
  LoggerState& state = State();
  state.logLevel = 0;
  state.rootDirectory.reset();
}

void SetLogRootDirectory(const char* directory) {
  if (directory)
    State().rootDirectory = directory;
  else
    State().rootDirectory.reset();
}

void LogInfo(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  WriteEntry(LOG_LEVEL_INFO, "[INFO]", format, args);
  va_end(args);
}

void LogError(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  if (FailureCapture::Active()) {
    std::va_list copy;
    va_copy(copy, args);
    try {
      FailureCapture::Capture(FormatV(format, copy));
    } catch (const std::bad_alloc&) {
      // No memory to keep the reason: the caller falls back to its own.
    }
    va_end(copy);
  }
  WriteEntry(LOG_LEVEL_ERROR, "[ERROR]", format, args);
  va_end(args);
}

void LogDebug(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  WriteEntry(LOG_LEVEL_DEBUG, "[DEBUG]", format, args);
  va_end(args);
}

void LogTrace(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  WriteEntry(LOG_LEVEL_TRACE, "[TRACE]", format, args);
  va_end(args);
}

bool InitLoggerDefaults() {
  LoggerState& state = State();
  if (state.gv_logFilePtr.load()) {
    state.logLevel = kDefaultLevel;
    return true;
  }
  if (state.logFileName) return true;
  try {
    state.logFileName = kDefaultLogName;
    state.logLockKey = std::make_unique<char>(0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  state.logDirectory.reset();
  state.logFilePath.reset();
  state.logLevel = kDefaultLevel;
  return true;
}

bool SetLoggerParams(const char* fileName, const char* directory, DWORD level) {
  LoggerState& state = State();
  state.logFileName.reset();
  state.logDirectory.reset();
  try {
    if (fileName) state.logFileName = fileName;
    if (directory) state.logDirectory = directory;
  } catch (const std::bad_alloc&) {
    return false;
  }
  state.logLevel = static_cast<std::uint8_t>(level & 0xFF);
  return true;
}

bool CreateLogFile() { return OpenWithMode(true); }

bool OpenLogFile() { return OpenWithMode(false); }

void CloseLogFile() {
  LoggerState& state = State();
  const TimestampText timestamp = FormatTimestamp();
  FileHandle* file = nullptr;
  if (const void* key = state.logLockKey.get()) {
    ObjectLockGuard lock(key);
    file = state.gv_logFilePtr.exchange(nullptr);
  } else {
    file = state.gv_logFilePtr.exchange(nullptr);
  }
  if (!file) return;
  const std::unique_ptr<FileHandle> closing(file);
  char line[96];
  const int length = std::snprintf(line, sizeof line, "Log close time: %s\n", timestamp.text);
  Append(*closing, std::string_view(line, static_cast<std::size_t>(length)));
}

void FreeLoggerParams() {
  LoggerState& state = State();
  state.logFileName.reset();
  state.logDirectory.reset();
  state.logFilePath.reset();
  state.logLockKey.reset();
}

std::string GetLogTimestamp() { return FormatTimestamp().text; }

int MakeDirectoryTree(const char* path) {
  if (!path) return KV_ENOENT;
  const int result = MakeDirectory(path);
  if (result == 0) return 0;
  if (result == KV_EEXIST) return 1;
  if (result != KV_ENOENT) return result;

  // A missing parent: make it first. Only '/' separates levels here.
  std::string parent = path;
  while (!parent.empty() && parent.back() == '/') parent.pop_back();
  const auto slash = parent.rfind('/');
  if (slash == std::string::npos) return result;
  parent.resize(slash);
  const int parentResult = MakeDirectoryTree(parent.c_str());
  if (parentResult != 0) return parentResult;
  return MakeDirectory(path);
}

const void* LogLockKey() { return State().logLockKey.get(); }

}  // namespace kv
