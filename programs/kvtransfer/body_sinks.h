#pragma once
// Where kvtransfer puts a body the transfer layer hands over piece by piece:
// standard output as the bytes come, or a file of the host written beside
// its destination and put in its place only when complete, as the agent's
// downloads do.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "transfer/body_reader.h"

namespace kv::cli {

// Bytes taken from the connection and written at a time.
constexpr DWORD kSinkPiece = 128 * 1024;

// The body onto a stream, byte for byte.
class StreamSink : public BodySink {
 public:
  explicit StreamSink(std::FILE* stream) : stream_(stream), buffer_(kSinkPiece) {}
  DWORD Room(DWORD* count, char** room) override;
  DWORD Keep(DWORD count) override;
  // What went out cannot be taken back: ERROR_NOT_SUPPORTED.
  DWORD StartOver() override;
  std::uint64_t written() const { return written_; }

 protected:
  std::FILE* stream_;

 private:
  std::vector<char> buffer_;
  std::uint64_t written_ = 0;
};

// The body into a temporary file of the host beside destination
// ("<destination>.kvtransfer.tmp"); Finish puts it in place. The temporary
// file goes when the sink goes without having finished.
class HostFileSink : public StreamSink {
 public:
  explicit HostFileSink(std::string destination);
  ~HostFileSink() override;
  HostFileSink(const HostFileSink&) = delete;
  HostFileSink& operator=(const HostFileSink&) = delete;

  // Creates the temporary file: 0 or the system's code.
  DWORD Open();
  DWORD StartOver() override;
  // Closes the temporary file and renames it onto the destination: 0 or the
  // system's code.
  DWORD Finish();
  const std::string& temporary() const { return temporary_; }

 private:
  std::string destination_;
  std::string temporary_;
  bool finished_ = false;
};

// Removes a file of the host, quietly; false when it was there and stays.
bool RemoveHostFile(const std::string& path);

}  // namespace kv::cli
