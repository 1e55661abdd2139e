// The partial file of a resumable download and its registry metadata. Every
// operation catches what it did not expect and says so in the log: a
// download must never take the agent down with it.

#include "transfer/download_resume_handler.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/file_system_helpers.h"
#include "agent/registry_helpers.h"
#include "agent/registry_key_handle.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/unicode.h"
#include "transfer/download_files.h"
#include "transfer/guarded.h"

namespace kv {
namespace {

constexpr const char* kDefaultFolder = "DownloadRepository\\";
// The server's ETag for which a partial file's bytes were fetched, kept
// beside its LastModifiedTime.
constexpr const char* kETagValue = "ETag";
// Registry strings the metadata reads are at most this long.
constexpr DWORD kMaxRegistryText = 255;
// Gathering more than this in memory before an append buys nothing and
// costs memory the agent should not hold.
constexpr DWORD kLargestSaveLimit = 16 * 1024 * 1024;

// A string value of an open key; empty when it cannot be read.
std::string QueryText(const RegistryKeyHandle& key, const char* name, bool* found = nullptr) {
  char buffer[kMaxRegistryText + 1] = {};
  DWORD size = kMaxRegistryText;
  const bool ok = key.queryString(name, buffer, size) == ERROR_SUCCESS;
  if (found) *found = ok;
  return ok ? std::string(buffer) : std::string();
}

// A value removed, or never there.
LONG RemoveValue(const RegistryKeyHandle& key, const char* name) {
  const LONG rc = RegDeleteValueA(key.handle(), name);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// A REG_DWORD's bytes, little-endian as Windows stores them.
struct DwordBytes {
  explicit DwordBytes(DWORD value)
      : bytes{static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
              static_cast<BYTE>(value >> 24)} {}
  RegValueChange As(const char* name) const { return {name, REG_DWORD, bytes, sizeof bytes}; }
  BYTE bytes[4];
};

RegValueChange TextValue(const char* name, const std::string& text) {
  return {name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1)};
}

}  // namespace

// The partial file's sharing while a download appends to it and its
// recorder flushes it: both hold it for writing at once.
constexpr DWORD kShareWithRecorder = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Makes saved bytes durable and then records them, on a thread of its own,
// so that the download does not stand still while the disk catches up: one
// commit covers every save made while the one before it was under way. The
// record lags the file, never leads it; a run that resumes cuts the file
// back to what its record describes.
class DownloadResumeHandler::Recorder {
 public:
  Recorder(std::function<DWORD(DWORD)> commit, DWORD recorded)
      : commit_(std::move(commit)), saved_(recorded), recorded_(recorded), worker_([this] { Run(); }) {}
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  ~Recorder() { (void)Finish(); }

  // The partial file now holds size bytes. An earlier commit's failure ends
  // the download here: the record no longer follows the file.
  DWORD Saved(DWORD size) {
    std::lock_guard lock(mutex_);
    if (failure_ != ERROR_SUCCESS) return failure_;
    saved_ = size;
    wake_.notify_one();
    return ERROR_SUCCESS;
  }

  // Records what was saved and stops: 0, or the failure of a commit.
  DWORD Finish() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      wake_.notify_one();
    }
    if (worker_.joinable()) worker_.join();
    return failure_;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return saved_ != recorded_ || stopping_; });
      if (saved_ == recorded_) return;  // stopping, and everything is recorded
      const DWORD size = saved_;
      lock.unlock();
      const DWORD rc = commit_(size);
      lock.lock();
      if (rc != ERROR_SUCCESS) {
        failure_ = rc;
        return;
      }
      recorded_ = size;
    }
  }

  std::function<DWORD(DWORD)> commit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  DWORD saved_;
  DWORD recorded_;
  DWORD failure_ = ERROR_SUCCESS;
  bool stopping_ = false;
  std::thread worker_;  // last: it starts on the members above
};

std::string FileMetaDataKey() { return Agent().gv_RegKey + "\\FileMetaData\\"; }

std::string FileMetaDataKey(const std::string& uniqueId) { return FileMetaDataKey() + uniqueId; }


// Here, where the recorder is a complete type.
DownloadResumeHandler::DownloadResumeHandler() = default;

DownloadResumeHandler::~DownloadResumeHandler() {
  Guarded("Error caught in destructor ~DownloadResumeHandler\n", [&] {
    // What was saved is still worth recording for the next run.
    if (StopRecording() != ERROR_SUCCESS) LogError("The last saves of the partial file were not recorded.\n");
    if (uniqueId_.empty()) return;
    RegistryKeyHandle key;
    if (key.openKey(HKEY_LOCAL_MACHINE, FileMetaDataKey(uniqueId_).c_str(), KEY_ALL_ACCESS) == ERROR_SUCCESS)
      (void)RemoveValue(key, "downloadInProgress");  // a mark left behind is a dead run's after 90 minutes
  });
}

void DownloadResumeHandler::ReadSaveLimit(DWORD stored) {
  // Nothing could be gathered with a limit of 0.
  saveLimit_ = stored == 0 ? kDefaultSaveLimit : std::min(stored, kLargestSaveLimit);
}

DWORD DownloadResumeHandler::Initialize(std::u16string_view destination, const std::string& serverLastModified,
                                        std::u16string_view url, const std::string& serverETag) {
  return Guarded("Error caught in DownloadResumeHandler::Initialize\n", ERROR_INVALID_DATA, [&]() -> DWORD {
    LogInfo("Inside DownloadResumeHandler::Initialize\n");
    resumeOffset_ = 0;
    destinationPath_ = destination;
    serverLastModified_ = serverLastModified;
    serverETag_ = serverETag;
    url_ = url;
    urlUtf8_ = Utf16ToUtf8(url);
    const std::string metadata = FileMetaDataKey();

    RegistryKeyHandle key;
    if (key.openKey(HKEY_LOCAL_MACHINE, metadata.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) {
      // The first resumable download of this computer.
      LogDebug("failure in openeing reg key\n");
      DWORD disposition = 0;
      if (const LONG rc =
              key.createKey(HKEY_LOCAL_MACHINE, metadata.c_str(), nullptr, 0, KEY_ALL_ACCESS, nullptr, &disposition)) {
        LogErrorCodeText(static_cast<DWORD>(rc));
        return ERROR_INVALID_DATA;
      }
      downloadFolder_ = Utf8ToUtf16(kDefaultFolder);
      NoteFailure(key.setString("IntermediateRepositoryName", kDefaultFolder, REG_SZ), "record the download folder");
      FormUniqueFileName();
      RecordUrl(key);
      NoteFailure(key.setDword("InterSaveByteLimit", saveLimit_), "record the save limit");
      key.closeKey();
      LogError("Setting variable for DOWNLOAD_FOLDER and url  %s & id - %s\n", urlUtf8_.c_str(), uniqueId_.c_str());
      return ERROR_SUCCESS;
    }

    LogDebug("reading folder info\n");
    bool found = false;
    std::string folder = QueryText(key, "IntermediateRepositoryName", &found);
    if (!found) {
      folder = kDefaultFolder;
      NoteFailure(key.setString("IntermediateRepositoryName", kDefaultFolder, REG_SZ), "record the download folder");
    }
    downloadFolder_ = Utf8ToUtf16(folder);
    DWORD limit = 0;
    if (key.queryDword("InterSaveByteLimit", limit) == ERROR_SUCCESS) {
      ReadSaveLimit(limit);
    } else {
      saveLimit_ = kDefaultSaveLimit;
      NoteFailure(key.setDword("InterSaveByteLimit", saveLimit_), "record the save limit");
    }
    LogDebug("reading periodic limit  info\n");
    LogInfo("Download folder = %s\tperiodic save limit = %d\n", folder.c_str(), static_cast<int>(saveLimit_));

    const std::string id = QueryText(key, urlUtf8_.c_str(), &found);
    if (!found) {
      FormUniqueFileName();
      RecordUrl(key);
    } else {
      uniqueId_ = id;
      FormUniqueFileName();
      LogInfo("Unique id for the file is %s\n", uniqueId_.c_str());
      GetFileDataFromRegistry();
      if (!temporaryDownload_) RecordUrl(key);
    }

    LogInfo("ResumeGetRequestEx : To update download count\n");
    DWORD count = 0;
    if (key.queryDword("DownloadCount", count) != ERROR_SUCCESS) count = 0;
    NoteFailure(key.setDword("DownloadCount", count + 1), "count the download");
    key.closeKey();
    LogInfo("End of DownloadResumeHandler::Initialize\n");
    return ERROR_SUCCESS;
  });
}

void DownloadResumeHandler::RecordUrl(const RegistryKeyHandle& key) {
  if (const LONG rc = key.setString(urlUtf8_.c_str(), uniqueId_.c_str(), REG_SZ)) {
    LogFailure(static_cast<DWORD>(rc), "Could not record the file of %s; the download is not kept.\n", urlUtf8_.c_str());
    temporaryDownload_ = true;
  }
}

void DownloadResumeHandler::FormUniqueFileName() {
  Guarded("Error caught in FormUniqueFileName\n", [&] {
    if (uniqueId_.empty()) {
      // Seconds, process and thread: two runs never share a file.
      uniqueId_ = Format("%d%d%d", static_cast<int>(GetTimeInSeconds(GetLocalTime())),
                         static_cast<int>(GetCurrentProcessId()), static_cast<int>(GetCurrentThreadId()));
      LogInfo("Formed Unique id for the file is %s\n", uniqueId_.c_str());
    }
    const std::string directory = Agent().gv_agentInstallDir + Utf16ToUtf8(downloadFolder_);
    partialFilePath_ = Utf8ToUtf16(directory + uniqueId_);
    (void)MakeDirectory(directory);
    LogInfo("Temporary file path is %s\n", directory.c_str());
  });
}

void DownloadResumeHandler::GetFileDataFromRegistry() {
  Guarded("Error caught in GetFileDataFromRegistry", [&] {
    LogInfo("Inside GetFileDataFromRegistry\n");
    bool usable = false;
    bool longer = false;
    RegistryKeyHandle key;
    if (key.openKey(HKEY_LOCAL_MACHINE, FileMetaDataKey(uniqueId_).c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) {
      LogError("GetFileDataFromRegistry; Registry subkey not found\n");
      PreDownloadCleaningOfPartialFile();
      return;
    }
    storedLastModified_ = QueryText(key, "LastModifiedTime");
    LogInfo("GetFileDataFromRegistry last modified time in registry   %s from server %s\n", storedLastModified_.c_str(),
            serverLastModified_.c_str());
    // A record from before ETags were kept has none; one that has its own
    // must name the server's.
    const std::string storedETag = QueryText(key, kETagValue);
    LogInfo("GetFileDataFromRegistry ETag in registry %s from server %s\n", storedETag.c_str(), serverETag_.c_str());
    // Without a validator one version of the file cannot be told from the
    // next, and bytes of two would be joined.
    const bool sameVersion = (!serverLastModified_.empty() || !serverETag_.empty()) &&
                             EqualsNoCase(std::string_view(storedLastModified_), serverLastModified_) &&
                             (storedETag.empty() || storedETag == serverETag_);
    DWORD partialSize = 0;
    if (sameVersion && key.queryDword("PartialFileSize", partialSize) == ERROR_SUCCESS) {
      resumeOffset_ = storedPartialSize_ = partialSize;
      std::int64_t actual = 0;
      if (!GetFileSize64(Utf16ToUtf8(partialFilePath_).c_str(), &actual)) actual = 0;
      LogInfo("GetFileDataFromRegistry partial downloaded filesize  in registry %d from file  %d\n",
              static_cast<int>(partialSize), static_cast<int>(actual));
      // Bytes past the recorded size were appended after the last record
      // was written, by a run that stopped before it recorded them: the
      // record vouches only for those before it, the rest is fetched again.
      longer = actual > static_cast<std::int64_t>(partialSize);
      if (actual == static_cast<std::int64_t>(partialSize) || longer) {
        usable = true;
        DWORD retries = 0;
        if (key.queryDword("RetryCount", retries) == ERROR_SUCCESS) retryCount_ = static_cast<std::int32_t>(retries);
      }
    }
    // The time of the last save tells a live run from a dead one, whatever
    // became of the file: a live run's file must not be taken from it.
    lastRetryTime_ = std::strtoll(QueryText(key, "LastRetryTime").c_str(), nullptr, 10);
    if (usable) {
      LogInfo("GetFileDataFromRegistry last retry time %lld count %d\n", static_cast<long long>(lastRetryTime_),
              static_cast<int>(retryCount_));
    }

    DWORD inProgress = 0;
    if (key.queryDword("downloadInProgress", inProgress) != ERROR_SUCCESS) {
      NoteFailure(key.setDword("downloadInProgress", 1), "mark the download in progress");
      key.closeKey();
      // Only a file no live run is writing is cut back.
      if (usable && longer) usable = CutBackPartialFile(partialSize);
    } else {
      LogInfo("GetFileDataFromRegistry - dwonload in progress flag is set\n");
      const std::int64_t sinceLastSave = GetCurrentTimeMillis() - lastRetryTime_;
      if (sinceLastSave <= kInProgressLifetimeMs) {
        LogInfo("Another download in progress - hence procedding for temporary download\n");
        temporaryDownload_ = true;
      } else {
        LogInfo(
            "GetFileDataFromRegistry - download in progress flag was set before 90 mins so cleaning files and "
            "proceeding\n");
        key.closeKey();
        CleanFileAndRegistry();
      }
      // Either way this run starts afresh in a file of its own.
      uniqueId_.clear();
      FormUniqueFileName();
      resumeOffset_ = storedPartialSize_ = 0;
    }
    if (!usable) PreDownloadCleaningOfPartialFile();
    key.closeKey();
  });
}

bool DownloadResumeHandler::CutBackPartialFile(DWORD size) const {
  FileHandle file;
  if (CreateFile(Utf16ToUtf8(partialFilePath_), GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                 &file) != ERROR_SUCCESS ||
      file.SetPointer(size, FILE_BEGIN) != ERROR_SUCCESS || file.SetEndOfFile() != ERROR_SUCCESS) {
    LogError("GetFileDataFromRegistry could not cut the partial file back to its recorded size\n");
    return false;
  }
  LogInfo("GetFileDataFromRegistry cut the partial file back to its recorded %d bytes\n", static_cast<int>(size));
  return true;
}

void DownloadResumeHandler::PreDownloadCleaningOfPartialFile() {
  LogInfo("Performing PreDownloadCleaningOfPartialFile\n");
  resumeOffset_ = storedPartialSize_ = 0;
  // A file that stays is refused by the size check of the first append.
  (void)RemovePartialFile();
}

DWORD DownloadResumeHandler::RemovePartialFile() const {
  const std::string partial = Utf16ToUtf8(partialFilePath_);
  const DWORD rc = DeleteFile(partial);
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  return LogFailure(rc, "Could not delete the partial file %s.\n", partial.c_str());
}

DWORD DownloadResumeHandler::StartOver() {
  // The bytes saved so far are thrown away: whether they were recorded no
  // longer matters, and the next append records the new start first.
  (void)StopRecording();
  resumeOffset_ = storedPartialSize_ = bytesWritten_ = 0;
  startRecorded_ = false;
  return RemovePartialFile();
}

DWORD DownloadResumeHandler::StopRecording() {
  if (!recorder_) return ERROR_SUCCESS;
  const DWORD rc = recorder_->Finish();
  recorder_.reset();
  return rc;
}

DWORD DownloadResumeHandler::Append(const char* buffer, DWORD count) {
  FileHandle file;
  // Shared for writing with the recorder, which brings the file to the disk
  // while the next bytes are appended (Windows refuses a second writer
  // otherwise).
  DWORD rc = CreateFile(Utf16ToUtf8(partialFilePath_), GENERIC_WRITE, kShareWithRecorder, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, &file);
  if (rc != ERROR_SUCCESS) {
    LogError("Invalid File Handle\n");
    return rc;
  }
  // The bytes go behind exactly those this download holds; a file that
  // changed behind its back would be delivered corrupt.
  const std::uint64_t expected = static_cast<std::uint64_t>(storedPartialSize_) + bytesWritten_;
  std::int64_t size = 0;
  if (file.GetSize(&size) != ERROR_SUCCESS || static_cast<std::uint64_t>(size) != expected) {
    LogError("ProcessDownloadedBuffer : the partial file holds %lld bytes where %llu were saved\n",
             static_cast<long long>(size), static_cast<unsigned long long>(expected));
    return ERROR_INVALID_DATA;
  }
  DWORD written = 0;
  if ((rc = file.SetPointer(0, FILE_END)) == ERROR_SUCCESS) rc = file.Write(buffer, count, &written);
  if (rc != ERROR_SUCCESS) {
    LogError("ProcessDownloadedBuffer :  Error in WriteFile --> %d \n", static_cast<int>(rc));
    return rc;
  }
  bytesWritten_ += count;
  LogDebug("File updated with data.\n");
  return file.Close();
}

DWORD DownloadResumeHandler::RecordSaved(DWORD size, bool last) const {
  return Guarded("Error caught in RecordSaved\n", ERROR_INVALID_DATA, [&]() -> DWORD {
    // The bytes reach the disk before the record that names them: a crash
    // in between leaves a record of fewer bytes, never of missing ones.
    if (size > 0) {
      FileHandle file;
      DWORD rc = CreateFile(Utf16ToUtf8(partialFilePath_), GENERIC_WRITE, kShareWithRecorder, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, &file);
      if (rc == ERROR_SUCCESS) rc = file.Flush();
      if (rc != ERROR_SUCCESS) return LogFailure(rc, "Could not bring the partial file to the disk.\n");
    }
    RegistryKeyHandle key;
    DWORD disposition = 0;
    if (const LONG open = key.createKey(HKEY_LOCAL_MACHINE, FileMetaDataKey(uniqueId_).c_str(), nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, &disposition)) {
      LogErrorCodeText(static_cast<DWORD>(open));
      return static_cast<DWORD>(open);
    }
    // Size, version and time in one update: a record never pairs the bytes
    // of one save with the version or time of another.
    const DwordBytes sizeBytes(size);
    const std::string retryTime = Utf16ToUtf8(GetCurrentTimeMillisText());
    std::vector<RegValueChange> changes{sizeBytes.As("PartialFileSize"),
                                        TextValue("LastModifiedTime", serverLastModified_),
                                        TextValue("LastRetryTime", retryTime)};
    if (serverETag_.empty()) {
      changes.push_back({kETagValue, REG_NONE, nullptr, 0, true});
    } else {
      changes.push_back(TextValue(kETagValue, serverETag_));
    }
    const DwordBytes retries(static_cast<DWORD>(retryCount_));
    if (last) {
      changes.push_back(retries.As("RetryCount"));
      changes.push_back({"downloadInProgress", REG_NONE, nullptr, 0, true});
    }
    LogDebug("updated registry entries  %d \n", static_cast<int>(size));
    // A save whose description could not be written fails: the next run
    // would otherwise resume from what the registry wrongly says.
    if (const LONG rc = RegSetValuesA(key.handle(), changes))
      return LogFailure(static_cast<DWORD>(rc), "Could not record the saved bytes.\n");
    if (last) {
      LogInfo("updated registry entries size  %d and last modified time %s retry time %s\n", static_cast<int>(size),
              serverLastModified_.c_str(), retryTime.c_str());
    }
    return ERROR_SUCCESS;
  });
}

DWORD DownloadResumeHandler::ProcessDownloadedBuffer(const char* buffer, DWORD count, bool intermediate) {
  return Guarded("Error caught in ProcessDownloadedBuffer\n", ERROR_INVALID_DATA, [&]() -> DWORD {
    // Nothing new, and no final save to make: the saves before are recorded
    // as they go, or when the run ends.
    if (count == 0 && intermediate) return ERROR_SUCCESS;
    LogDebug("Inside ProcessDownloadedBuffer\n");
    if (temporaryDownload_) return count == 0 ? ERROR_SUCCESS : Append(buffer, count);
    if (count > 0) {
      // A run that starts the file afresh first takes the old record's size
      // back, so that its new bytes are never read as those of that record.
      if (!startRecorded_ && storedPartialSize_ + bytesWritten_ == 0) {
        if (const DWORD rc = RecordSaved(0, false)) return rc;
      }
      startRecorded_ = true;
      if (const DWORD rc = Append(buffer, count)) return rc;
    }
    const DWORD size = storedPartialSize_ + bytesWritten_;
    if (intermediate) {
      if (!recorder_)
        recorder_ = std::make_unique<Recorder>([this](DWORD saved) { return RecordSaved(saved, false); }, size - count);
      return recorder_->Saved(size);
    }
    if (const DWORD rc = StopRecording()) return rc;
    if (count == 0) return ERROR_SUCCESS;
    ++retryCount_;
    return RecordSaved(size, true);
  });
}

DWORD DownloadResumeHandler::CreateEmptyPartialFile() {
  FileHandle file;
  const DWORD rc = CreateFile(Utf16ToUtf8(partialFilePath_), GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, &file);
  if (rc != ERROR_SUCCESS) LogError("Invalid File Handle\n");
  return rc;
}

DWORD DownloadResumeHandler::SaveToDestFile() {
  return Guarded("Error caught in SaveToDestFile\n", ERROR_INVALID_DATA, [&]() -> DWORD {
    resumeOffset_ = 0;
    const std::string partial = Utf16ToUtf8(partialFilePath_);
    const std::string destination = Utf16ToUtf8(destinationPath_);
    LogInfo("Inside SaveToDestFile from %s to %s\n", partial.c_str(), destination.c_str());
    (void)StopRecording();  // the file is complete: its record goes with it
    // A destination in a drive's root has its directory already.
    DWORD rc = CreateFolder(destinationPath_.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS) return rc;
    rc = MoveIntoPlace(partial, destination);
    if (rc != ERROR_SUCCESS) {
      LogError("InternetGetRequestEx : could n't copy from %s file to %s ,\n", partial.c_str(), destination.c_str());
      LogErrorCodeText(rc);
      return rc;
    }
    CleanFileAndRegistry();
    return ERROR_SUCCESS;
  });
}

bool DownloadResumeHandler::LoadDatafromFile(std::string* text) {
  return Guarded("Error caught in loadDataFromFile\n", false, [&]() -> bool {
    const std::string partial = Utf16ToUtf8(partialFilePath_);
    LogInfo("LoadDatafromFile: tmpDataFilePath, %s\n", partial.c_str());
    if (!ReadTextFile(partial, text)) {
      LogError("LoadDatafromFile: failed to open the file\n");
      return false;
    }
    CleanFileAndRegistry();
    return true;
  });
}

DWORD DownloadResumeHandler::CleanFileAndRegistry() {
  return Guarded("Error caught in CleanFileAndRegistry\n", ERROR_INVALID_DATA, [&]() -> DWORD {
    LogInfo("Inside CleanFileAndRegistry\n");
    (void)StopRecording();  // nothing may record the file once it is gone
    (void)RemovePartialFile();  // logged; the record goes all the same
    // A temporary download never recorded itself; the URL's record is the
    // other run's.
    if (temporaryDownload_) return ERROR_SUCCESS;
    RegistryKeyHandle key;
    if (key.openKey(HKEY_LOCAL_MACHINE, FileMetaDataKey().c_str(), KEY_ALL_ACCESS) == ERROR_SUCCESS)
      NoteFailure(RemoveValue(key, urlUtf8_.c_str()), "remove the URL's record");
    key.closeKey();
    if (!uniqueId_.empty() && !deleteRegistryKeyTree(HKEY_LOCAL_MACHINE, FileMetaDataKey(uniqueId_).c_str()))
      LogError("Could not remove the record of %s.\n", uniqueId_.c_str());
    return ERROR_SUCCESS;
  });
}

}  // namespace kv
