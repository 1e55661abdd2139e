#include "body_sinks.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/host_path.h"
#include "platform/last_error.h"
#include "transfer_target.h"

namespace kv::cli {
namespace {

namespace fs = std::filesystem;

DWORD ErrorOf(const std::error_code& error) {
  switch (static_cast<std::errc>(error.value())) {
    case std::errc::permission_denied: return ERROR_ACCESS_DENIED;
    case std::errc::no_such_file_or_directory: return ERROR_PATH_NOT_FOUND;
    case std::errc::no_space_on_device: return ERROR_DISK_FULL;
    default: return ERROR_WRITE_FAULT;
  }
}

}  // namespace

DWORD StreamSink::Room(DWORD* count, char** room) {
  if (*count > buffer_.size()) *count = static_cast<DWORD>(buffer_.size());
  *room = buffer_.data();
  return ERROR_SUCCESS;
}

DWORD StreamSink::Keep(DWORD count) {
  if (count == 0) return ERROR_SUCCESS;
  if (std::fwrite(buffer_.data(), 1, count, stream_) != count) return ERROR_WRITE_FAULT;
  written_ += count;
  return ERROR_SUCCESS;
}

DWORD StreamSink::StartOver() { return written_ == 0 ? ERROR_SUCCESS : ERROR_NOT_SUPPORTED; }

HostFileSink::HostFileSink(std::string destination)
    : StreamSink(nullptr), destination_(std::move(destination)), temporary_(destination_ + ".kvtransfer.tmp") {}

HostFileSink::~HostFileSink() {
  if (stream_) std::fclose(stream_);
  if (!finished_) RemoveHostFile(temporary_);
}

DWORD HostFileSink::Open() {
  std::error_code ignored;
  const fs::path parent = HostPath(destination_).parent_path();
  if (!parent.empty()) fs::create_directories(parent, ignored);
  stream_ = OpenHostStream(temporary_, "wb");
  if (!stream_) {
    const DWORD error = GetLastError();
    return error ? error : ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

DWORD HostFileSink::StartOver() {
  if (!stream_) return ERROR_INVALID_HANDLE;
  std::fclose(stream_);
  stream_ = OpenHostStream(temporary_, "wb");
  return stream_ ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

DWORD HostFileSink::Finish() {
  if (!stream_) return ERROR_INVALID_HANDLE;
  const bool flushed = std::fflush(stream_) == 0;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (!flushed || !closed) return ERROR_WRITE_FAULT;
  std::error_code error;
  fs::rename(HostPath(temporary_), HostPath(destination_), error);
  if (error) return ErrorOf(error);
  finished_ = true;
  return ERROR_SUCCESS;
}

bool RemoveHostFile(const std::string& path) {
  std::error_code error;
  fs::remove(HostPath(path), error);
  return !error;
}

}  // namespace kv::cli
