#pragma once
// A transfer test: an agent's machine image in use, its settings as start-up
// leaves them, a log at TRACE level, the test server, and the transfer
// layer's pauses recorded instead of waited for.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "tests/servers/http_test_server.h"
#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"
#include "transfer/transfer_types.h"

namespace kv::test {

// Windows and image paths of the agent's installation, logs and downloads.
inline constexpr const char* kInstallDir = "C:\\Program Files (x86)\\Tarnwick\\Kelvane\\KVAgent\\";
inline constexpr const char* kImageLogs = "drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent/logs";
inline constexpr const char* kImageRepository =
    "drive_c/Program Files (x86)/Tarnwick/Kelvane/KVAgent/DownloadRepository";
// The metadata key of the resumable downloads, as a test names it.
inline constexpr const char* kMetadataKey = "Software\\Tarnwick\\Kelvane\\KVAgent\\FileMetaData\\";

class TransferTest : public ::testing::Test {
 protected:
  explicit TransferTest(HttpTestServerOptions serverOptions = {});
  ~TransferTest() override;

  // The test machine's machine.json with further members (text such as
  // R"("disk":{…},)"), taken into use.
  void DescribeMachine(const std::string& members = "");
  // The parameters of a request for path on the test server.
  ConnectionParameters To(const std::string& path) const;
  // DownloadMode under the agent's Settings key.
  void SetDownloadMode(DWORD mode) const;
  // A value of the metadata key or of one of its subkeys ("" for the key).
  std::optional<std::string> MetaText(const std::string& subkey, const char* name) const;
  std::optional<DWORD> MetaNumber(const std::string& subkey, const char* name) const;
  // Requests for path, in order (the path without its query).
  std::vector<RecordedRequest> RequestsFor(const std::string& path) const;
  // Runs a transfer on a thread of its own and returns its result. One that
  // has not ended within the limit fails the test, and is ended by taking
  // its server away.
  DWORD WithinLimit(const std::function<DWORD()>& transfer, int seconds = 30);

  TempMachine machine;
  HttpTestServer server;
  TestLog log{4};
  std::vector<DWORD> pauses;
};

}  // namespace kv::test
