// The partial file of a resumable download and its registry metadata. Every
// operation catches what it did not expect and says so in the log: a
// download must never take the agent down with it.

#include "transfer/download_resume_handler.h"

#include <algorithm>
#include <cstdlib>

#include "agent/agent_settings.h"
#include "agent/error_texts.h"
#include "agent/file_system_helpers.h"
#include "agent/registry_helpers.h"
#include "agent/registry_key_handle.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/files.h"
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

}  // namespace

std::string FileMetaDataKey() { return Agent().gv_RegKey + "\\FileMetaData\\"; }

std::string FileMetaDataKey(const std::string& uniqueId) { return FileMetaDataKey() + uniqueId; }


DownloadResumeHandler::~DownloadResumeHandler() {
  Guarded("Error caught in destructor ~DownloadResumeHandler\n", [&] {
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
      if (actual == static_cast<std::int64_t>(partialSize)) {
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
  resumeOffset_ = storedPartialSize_ = bytesWritten_ = 0;
  return RemovePartialFile();
}

DWORD DownloadResumeHandler::ProcessDownloadedBuffer(const char* buffer, DWORD count, bool intermediate) {
  return Guarded("Error caught in ProcessDownloadedBuffer\n", ERROR_INVALID_DATA, [&]() -> DWORD {
    if (count == 0) return ERROR_SUCCESS;
    LogDebug("Inside ProcessDownloadedBuffer\n");
    FileHandle file;
    DWORD rc = CreateFile(Utf16ToUtf8(partialFilePath_), GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS,
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
    file.Flush();
    file.Close();
    if (temporaryDownload_) return ERROR_SUCCESS;

    RegistryKeyHandle key;
    DWORD disposition = 0;
    if (const LONG open = key.createKey(HKEY_LOCAL_MACHINE, FileMetaDataKey(uniqueId_).c_str(), nullptr, 0,
                                        KEY_ALL_ACCESS, nullptr, &disposition)) {
      LogErrorCodeText(static_cast<DWORD>(open));
      return static_cast<DWORD>(open);
    }
    // A save whose description could not be written fails: the next run
    // would otherwise resume from what the registry wrongly says.
    LONG failure = ERROR_SUCCESS;
    const auto keep = [&failure](LONG rc) {
      if (failure == ERROR_SUCCESS) failure = rc;
    };
    const DWORD partialSize = storedPartialSize_ + bytesWritten_;
    keep(key.setDword("PartialFileSize", partialSize));
    LogDebug("updated registry entries  %d \n", static_cast<int>(partialSize));
    keep(key.setString("LastModifiedTime", serverLastModified_.c_str(), REG_SZ));
    if (serverETag_.empty()) {
      keep(RemoveValue(key, kETagValue));
    } else {
      keep(key.setString(kETagValue, serverETag_.c_str(), REG_SZ));
    }
    const std::string retryTime = Utf16ToUtf8(GetCurrentTimeMillisText());
    keep(key.setString("LastRetryTime", retryTime.c_str(), REG_SZ));
    if (!intermediate) {
      LogInfo("updated registry entries size  %d and last modified time %s retry time %s\n",
              static_cast<int>(partialSize), serverLastModified_.c_str(), retryTime.c_str());
      ++retryCount_;
      keep(key.setDword("RetryCount", static_cast<DWORD>(retryCount_)));
      keep(RemoveValue(key, "downloadInProgress"));
    }
    key.closeKey();
    if (failure != ERROR_SUCCESS) return LogFailure(static_cast<DWORD>(failure), "Could not record the saved bytes.\n");
    return ERROR_SUCCESS;
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
