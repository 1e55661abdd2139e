#pragma once
// A resumable download's partial file and the registry metadata that ties
// it to its URL and to the server's Last-Modified and ETag, under the agent key's
// "FileMetaData": which file holds how many bytes of which version, so that
// the next run goes on where this one stopped, and a stale or inconsistent
// partial file is thrown away rather than used.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace kv {

class RegistryKeyHandle;

// The default number of bytes gathered in memory between two appends.
constexpr DWORD kDefaultSaveLimit = 1048576;
// A mark of a run in progress older than this belongs to a run that died.
constexpr std::int64_t kInProgressLifetimeMs = 90LL * 60 * 1000;

class DownloadResumeHandler {
 public:
  DownloadResumeHandler();
  DownloadResumeHandler(const DownloadResumeHandler&) = delete;
  DownloadResumeHandler& operator=(const DownloadResumeHandler&) = delete;
  // Takes this run's in-progress mark away.
  ~DownloadResumeHandler();

  // Reads or makes the metadata of the URL and decides where the download
  // starts: a partial file goes on only for the same Last-Modified and, when
  // both sides have one, the same ETag. 0, or 13 on an unexpected failure.
  DWORD Initialize(std::u16string_view destination, const std::string& serverLastModified, std::u16string_view url,
                   const std::string& serverETag);
  // Makes a unique id when there is none, and forms the partial file's path.
  void FormUniqueFileName();
  // The partial file gone (none is no failure); a failure is logged.
  DWORD RemovePartialFile() const;
  // The URL's record of its file; a run that cannot record it downloads as a
  // temporary one, since no later run could find what it saved.
  void RecordUrl(const RegistryKeyHandle& key);
  // Decides whether the partial file can be continued, and marks the run.
  void GetFileDataFromRegistry();
  // Appends count bytes to the partial file and has its new size recorded
  // once they are on disk: 0 or an error code. An intermediate save is
  // recorded beside the download, and a failure to record it is told by the
  // next save; the final save of a run waits until every byte is recorded,
  // and also counts the run.
  DWORD ProcessDownloadedBuffer(const char* buffer, DWORD count, bool intermediate);
  // An empty partial file, for a file of no bytes: 0 or an error code.
  DWORD CreateEmptyPartialFile();
  // Puts the finished partial file at the destination: 0 or an error code.
  DWORD SaveToDestFile();
  // The finished partial file as text (GET_DATA), then its cleaning.
  bool LoadDatafromFile(std::string* text);
  // Removes the partial file and its metadata.
  DWORD CleanFileAndRegistry();
  void PreDownloadCleaningOfPartialFile();
  // The server sent the whole file again: the partial file starts over.
  DWORD StartOver();

  std::uint64_t resumeOffset() const { return resumeOffset_; }
  std::uint64_t storedPartialSize() const { return storedPartialSize_; }
  DWORD saveLimit() const { return saveLimit_; }
  bool temporaryDownload() const { return temporaryDownload_; }
  const std::string& uniqueId() const { return uniqueId_; }
  const std::u16string& partialFilePath() const { return partialFilePath_; }

 private:
  class Recorder;

  void ReadSaveLimit(DWORD stored);
  // Appends to the partial file behind exactly the bytes this download holds.
  DWORD Append(const char* buffer, DWORD count);
  // Makes the partial file's first size bytes durable, then records them
  // (with the run's counters when last) in one update of the record.
  DWORD RecordSaved(DWORD size, bool last) const;
  // The partial file cut back to the size its record vouches for.
  bool CutBackPartialFile(DWORD size) const;
  // Waits for the saves handed to the recorder: the failure of one, if any.
  DWORD StopRecording();

  std::u16string destinationPath_;
  std::u16string partialFilePath_;
  std::u16string downloadFolder_;
  std::u16string url_;
  std::string storedLastModified_;
  std::string serverLastModified_;
  std::string serverETag_;
  std::string uniqueId_;
  std::string urlUtf8_;
  std::int32_t retryCount_ = 0;
  DWORD resumeOffset_ = 0;
  DWORD storedPartialSize_ = 0;
  DWORD bytesWritten_ = 0;
  DWORD saveLimit_ = kDefaultSaveLimit;
  std::int64_t lastRetryTime_ = 0;
  // The record was set to this run's version and no bytes before its first
  // append from the start of the file.
  bool startRecorded_ = false;
  // Records intermediate saves while the download goes on; null when none
  // is pending.
  std::unique_ptr<Recorder> recorder_;
  // Another run of the same URL is active: this one works in a file of its
  // own and writes no metadata.
  bool temporaryDownload_ = false;
};

// The metadata key, and the subkey of one partial file.
std::string FileMetaDataKey();
std::string FileMetaDataKey(const std::string& uniqueId);

}  // namespace kv
