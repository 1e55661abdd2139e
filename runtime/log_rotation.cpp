// Start-up, shut-down and rotation of the agent's own log.

#include "runtime/log_rotation.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <optional>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/registry_helpers.h"
#include "base/object_locks.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/timer_queue.h"
#include "runtime/agent_log_file.h"

namespace kv {
namespace {

// The agent log's timer: the queue (null when none), the most recent timer
// and the configuration StartAgentLog made, which the timer uses for the
// rest of the process.
struct AgentLogTimer {
  std::atomic<HTimerQueue> queue{nullptr};
  std::atomic<HTimer> timer{nullptr};
  std::unique_ptr<LoggerConfig> config;
};

AgentLogTimer& LogTimer() {
  static AgentLogTimer* timer = new AgentLogTimer;
  return *timer;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The byte of the live log a rotation holds exclusively from its size check
// to its end, so that processes sharing a log rotate it one at a time, and
// one that waited finds the size the other left.
constexpr std::uint64_t kLogRotationLock = kLogAppendLock + 1;

// Holds a live log's rotation lock for the life of a scope; a log that cannot
// be opened has nothing to rotate and takes no lock.
class RotationLock {
 public:
  explicit RotationLock(const std::string& live) {
    if (CreateFile(live, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING, 0, &file_) == ERROR_SUCCESS)
      locked_ = file_.LockRange(kLogRotationLock, true) == ERROR_SUCCESS;
  }
  ~RotationLock() {
    if (locked_) file_.UnlockRange(kLogRotationLock);
  }
  RotationLock(const RotationLock&) = delete;
  RotationLock& operator=(const RotationLock&) = delete;

 private:
  FileHandle file_;
  bool locked_ = false;
};

// The log's name up to its first ".log"; empty when it has none.
std::string LogBaseName(const std::string& fileName) {
  const auto stem = fileName.find(".log");
  return stem == std::string::npos ? std::string() : fileName.substr(0, stem);
}

// The installation directory as text, without anything after a NUL.
LONG ReadInstallDirectory(std::string& directory) {
  std::optional<std::string> value;
  const LONG result = ReadRegSZ(HKEY_LOCAL_MACHINE, Agent().gv_RegKey.c_str(), "KVAgentInstallDir", value);
  if (result == 0) directory = value ? std::string(value->c_str()) : std::string();
  return result;
}

// Ends the periodic checks; a check that is running is allowed to finish.
void DeleteLogTimerQueue() {
  const HTimerQueue queue = LogTimer().queue.exchange(nullptr);
  if (!queue) return;
  const DWORD error = DeleteTimerQueue(queue);
  if (error) LogFailure(error, "ServiceMain : DeleteTimerQueue is failed due to following error !! \n");
}

void DeleteRotatedFile(const std::string& path) {
  if (DeleteFile(path) == 0)
    LogInfo("RotateSpecificLogs : The file %s was successfully deleted..:\n", path.c_str());
  else
    LogInfo("RotateSpecificLogs : Unable to delete the file %s and the error code is :%d\n", path.c_str(),
            static_cast<int>(GetLastError()));
}

// Copies the live log to the newest backup and empties it. Both steps hold
// the log's lock, and the append lock of the file exclusively, so that an
// entry of this process or of another sharing the log lands either before
// the copy (and is in the backup) or after the truncation (and is in the
// emptied log), never in between where it would be lost. Nothing is logged
// while the locks are held: they are not re-entrant.
void CopyAndTruncateLive(const std::string& live, const std::string& newer) {
  const void* key = LogLockKey();
  if (key) (void)LockObject(key);  // a key that is not null is always taken
  FileHandle file;
  const DWORD openError = CreateFile(live, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING, 0, &file);
  const bool locked = openError == ERROR_SUCCESS && file.LockRange(kLogAppendLock, true) == ERROR_SUCCESS;
  const DWORD copyError = CopyFile(live, newer, false);
  DWORD truncateError = ERROR_SUCCESS;
  if (copyError == 0) {
    // The handle stands at offset 0: ending the file there empties it, as
    // opening it with TRUNCATE_EXISTING does.
    truncateError = openError ? openError : file.SetEndOfFile();
  }
  if (locked) file.UnlockRange(kLogAppendLock);
  if (key) (void)UnlockObject(key);

  if (copyError) {
    LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n", live.c_str(),
            newer.c_str(), static_cast<int>(copyError));
    return;
  }
  LogInfo(
      "RotateSpecificLogs : File successfully copied from %s to  %s so we are going to truncate the content of "
      "the first one \n",
      live.c_str(), newer.c_str());
  if (truncateError)
    std::printf("RotateSpecificLogs : Truncate Existing backup File failed file Name -%s errorcode - %d\n",
                live.c_str(), static_cast<int>(truncateError));
}

// Rotates every file of the ";"-separated list; lockEach takes each live
// log's rotation lock (the caller holds it otherwise).
LONG RotateLogs(const char* folder, const char* fileNames, int backupCount, bool lockEach);

// Moves the backups one number up, dropping the oldest, and copies the live
// log to backup 1.
void RotateOneLog(const std::string& folder, const std::string& fileName, int backupCount) {
  const char* dir = folder.c_str();
  const char* name = fileName.c_str();
  LogInfo("RotateSpecificLogs : Log File Name : %s\n", name);
  const std::string live = folder + "\\" + fileName;

  int n = FindNoOfRepeatedFileNames(dir, LogBaseName(fileName).c_str());
  LogInfo("RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method is : %d \n", n);

  do {
    int next = n - 1;
    std::string older = BuildBackupLogName(dir, name, next);
    LogInfo("RotateSpecificLogs : The tempFileName1 : %s . \n", older.c_str());
    if (n >= backupCount) {
      DeleteRotatedFile(older);
      next = backupCount - 2;
      older = BuildBackupLogName(dir, name, next);
      n = backupCount - 1;
    }
    const std::string newer = BuildBackupLogName(dir, name, n);
    LogInfo("RotateSpecificLogs : The tempFileName2 : %s . \n", newer.c_str());
    if (n != 1) {
      const DWORD error = CopyFile(older, newer, false);
      if (error == 0) {
        LogInfo("RotateSpecificLogs : File copied from %s to  %s . \n", older.c_str(), newer.c_str());
        DeleteRotatedFile(older);
      } else {
        LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n",
                older.c_str(), newer.c_str(), static_cast<int>(error));
      }
    } else {
      CopyAndTruncateLive(live, newer);
    }
    n = next;
  } while (n >= 1);
}

}  // namespace

LoggerConfig::LoggerConfig() {
  AgentSettings& agent = Agent();
  if (agent.gv_agentInstallDir.empty()) ReadInstallDirectory(agent.gv_agentInstallDir);
  logDirectory = agent.gv_agentInstallDir + "logs";
}

LONG StartAgentLog(const char* fileName) {
  std::string installDir;
  const LONG error = ReadInstallDirectory(installDir);
  if (error) return error;
  Agent().gv_agentInstallDir = installDir;

  // A second start replaces the first: its timer goes before its
  // configuration does.
  DeleteLogTimerQueue();
  auto config = std::make_unique<LoggerConfig>();
  if (fileName) config->fileName = fileName;
  LoggerConfig& started = *config;
  LogTimer().config = std::move(config);
  // A log that cannot be opened leaves the program without one, and the run
  // goes on; the reason is in the log writer's own checks.
  (void)StartLogger(started);
  return 0;
}

void ResetAgentLogTimer() {
  DeleteLogTimerQueue();
  LogTimer().timer = nullptr;
  LogTimer().config.reset();
}

int StopAgentLog() {
  DeleteLogTimerQueue();
  CloseLogFile();
  FreeLoggerParams();
  CloseObjectLocks();
  return 0;
}

int StartLogger(LoggerConfig& config) {
  if (config.useTimer) {
    DeleteLogTimerQueue();
    HTimerQueue queue = nullptr;
    const DWORD error = CreateTimerQueue(&queue);
    if (error == 0) {
      LogTimer().queue = queue;
      LogInfo("ServiceMain : TimerQueue is created successfully \n");
    } else {
      LogFailure(error, "ServiceMain : CreateTimerQueue is failed due to following error !! \n");
    }
    // Each step logs its own failure; the log is opened whatever they say.
    (void)LoggerTimerMethod(config);
  } else {
    (void)RotateLoggerForEverRunningProcess(config.logDirectory.c_str(), config.fileName.c_str(), config.backupCount,
                                      config.maxFileSize);
  }
  return InitAgentLogFile(config.fileName.c_str(), config.logDirectory.c_str(), config.openMode);
}

DWORD LoggerTimerMethod(LoggerConfig& config) {
  (void)RotateLoggerForEverRunningProcess(config.logDirectory.c_str(), config.fileName.c_str(), config.backupCount,
                                    config.maxFileSize);
  HTimer timer = nullptr;
  const DWORD error = CreateTimerQueueTimer(LogTimer().queue.load(), LoggerTimerRoutine, &config,
                                            static_cast<DWORD>(config.timerPeriodMs), 0, WT_EXECUTEDEFAULT, &timer);
  if (error == 0) {
    LogTimer().timer = timer;
    LogDebug("LoggerTimerMethod : Registered the TimerRoutime callback in next %d minutes . \n",
             config.timerPeriodMs / 60000);
    return 0;
  }
  return LogFailure(error, "LoggerTimerMethod : CreateTimerQueueTimer failed due to following error \n");
}

void LoggerTimerRoutine(void* parameter, bool fired) {
  (void)fired;
  LogInfo("LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n");
  (void)LoggerTimerMethod(*static_cast<LoggerConfig*>(parameter));  // it logs its own failure
  LogInfo("LoggerTimerRoutine : End of LoggerTimerRoutine Method\n");
}

int RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int backupCount,
                                      std::int64_t limit) {
  const std::string folder =
      directory && *directory ? std::string(directory) + "\\" : Agent().gv_agentInstallDir + "logs\\";
  const std::string path = folder + (fileName ? fileName : "");
  LogInfo("RotateLoggerForEverRunningProcess : cSfileName : %s \n", path.c_str());
  // The size is looked at and the log rotated with no other process between.
  const RotationLock lock(path);
  if (CheckLogSizeReached(path.c_str(), limit) == 1) return RotateLogs(folder.c_str(), fileName, backupCount, false);
  return 0;
}

int CheckLogSizeReached(const char* path, std::int64_t limit) {
  FileHandle file;
  const DWORD openError = CreateFile(path ? path : "", GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, &file);
  if (openError) {
    LogError("CheckLogSizeReached : Unable to get the file handle \n");
    LogErrorCodeTextA(openError);
  }
  // A file that cannot be measured counts as empty.
  std::int64_t size = 0;
  if (file.GetSize(&size) != 0) {
    LogError("CheckLogSizeReached : Error occurred in getting the size %d \n", static_cast<int>(GetLastError()));
    size = 0;
  }
  if (file.IsOpen()) file.Close();
  LogInfo("CheckLogSizeReached : The log file size of %s is given by %" PRId64 " \n", path ? path : "", size);
  if (size < limit) {
    LogDebug("CheckLogSizeReached : The size is less the required size \n");
    return 0;
  }
  LogInfo("CheckLogSizeReached : The size is greater than the given size .........\n");
  return 1;
}

LONG RotateSpecificLogs(const char* folder, const char* fileNames, int backupCount) {
  return RotateLogs(folder, fileNames, backupCount, true);
}

namespace {

LONG RotateLogs(const char* folder, const char* fileNames, int backupCount, bool lockEach) {
  LogInfo("\n @@@@@@@@@@@@@@@Inside RotateSpecificLogs Method @@@@@@@@@@@@@\n");
  std::string folderText;
  if (folder) {
    folderText = folder;
  } else {
    std::string installDir;
    const LONG error = ReadInstallDirectory(installDir);
    if (error) {
      std::printf("RotateSpecificLogs : Unable to get the agent installed directory %d \n", static_cast<int>(error));
      return error;
    }
    folderText = installDir + "logs\\";
  }

  const std::string names = fileNames ? fileNames : "";
  for (std::size_t start = 0; start < names.size();) {
    std::size_t end = names.find(';', start);
    if (end == std::string::npos) end = names.size();
    // Empty items of the list are skipped, as a tokenizer skips them.
    if (end > start) {
      const std::string name = names.substr(start, end - start);
      std::optional<RotationLock> lock;
      if (lockEach) lock.emplace(folderText + "\\" + name);
      RotateOneLog(folderText, name, backupCount);
    }
    start = end + 1;
  }
  LogInfo("\n @@@@@@@@@@@@@@@ End of RotateSpecificLogs Method with error code %d @@@@@@@@@@@@@\n", 0);
  return 0;
}

}  // namespace

int FindNoOfRepeatedFileNames(const char* folder, const char* base) {
  LogDebug("@@@@@@@@@@@@Inside FindNoOfRepeatedFileNames Method @@@@@@@@@\n");
  const std::string folderText = folder ? folder : "";
  const std::string pattern = folderText + "\\" + (base ? base : "") + "*.*";
  LogInfo("FindNoOfRepeatedFileNames : Successfully allocated szFormattedPath and the value is %s  .\n",
          pattern.c_str());

  FindHandle search;
  std::string entry;
  const DWORD firstError = FindFirstFile(pattern, &search, &entry);
  LogInfo("FindNoOfRepeatedFileNames : Successfully finded out first file  %d  .\n", search.Number());
  int count = 0;
  if (firstError) {
    LogErrorCodeText(firstError);
    LogError("FindNumberOfRepeatedFileNames : Unable to find the files/folder.\n");
    count = -1;
  } else {
    DWORD nextError = ERROR_SUCCESS;
    do {
      ++count;
      const std::string found = folderText + "\\" + entry;
      LogInfo("FindNoOfRepeatedFileNames : after memset of szSrcPath is  %s  .\n", found.c_str());
      nextError = FindNextFile(search, &entry);
    } while (nextError == 0);
    if (nextError != ERROR_NO_MORE_FILES) {
      LogErrorCodeText(nextError);
      LogError("FindNumberOfRepeatedFileNames : Couldn't find next file :%d\n", static_cast<int>(nextError));
      count = -1;
    }
  }
  LogInfo("FindNoOfRepeatedFileNames : Going to Free the allocated memory in this method.\n");
  LogDebug(
      "@@@@@@@@@@@@End of FindNoOfRepeatedFileNames Method with return value of No of file count : %d\t  "
      "@@@@@@@@@\n",
      count);
  return count;
}

std::string BuildBackupLogName(const char* folder, const char* fileName, int number) {
  const std::string base = LogBaseName(fileName ? fileName : "");
  return std::string(folder ? folder : "") + "\\" + base + std::to_string(number) + ".log";
}

}  // namespace kv
