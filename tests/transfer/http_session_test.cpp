// The retry rule, the error texts and the protocol settings every transfer
// operation shares.

#include "transfer/http_session.h"

#include <gtest/gtest.h>

#include <deque>

#include "tests/support/test_log.h"
#include "tests/support/test_machine.h"
#include "transfer/http_errors.h"
#include "transfer/transfer_state.h"

namespace kv {
namespace {

// An exchange whose sends and receives fail as the test says, in order;
// once the list is used up they succeed.
class ScriptedAttempts : public SendAttempts {
 public:
  std::deque<DWORD> sends, receives;
  int sent = 0, reopened = 0;

  DWORD BeforeSend() override { return 0; }
  DWORD Send() override {
    ++sent;
    return Next(sends);
  }
  DWORD Receive() override { return Next(receives); }
  DWORD Reopen() override {
    ++reopened;
    return 0;
  }

 private:
  static DWORD Next(std::deque<DWORD>& script) {
    if (script.empty()) return 0;
    const DWORD code = script.front();
    script.pop_front();
    return code;
  }
};

class RetryRule : public ::testing::Test {
 protected:
  RetryRule() {
    ResetTransferState();
    Transfer().sleep = [this](DWORD ms) { pauses.push_back(ms); };
    params.serverName = u"kvserver";
  }
  ~RetryRule() override { ResetTransferState(); }

  DWORD Run() { return SendWithRetries("Op", params, attempts); }

  ConnectionParameters params;
  ScriptedAttempts attempts;
  std::vector<DWORD> pauses;
  test::TestLog log{4};
};

TEST_F(RetryRule, ResendsCostAPauseAndAnAttemptEach) {
  attempts.receives = {12032, 12032};
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(attempts.sent, 3);
  EXPECT_EQ(pauses, (std::vector<DWORD>{5000, 5000}));
  EXPECT_TRUE(log.Contains("[INFO] Op : Resending the data to the server kvserver \n"));
}

TEST_F(RetryRule, FiveResendsInARowLeaveTheHeaderQueryToFail) {
  attempts.receives = {12032, 12032, 12032, 12032, 12032, 12032};
  EXPECT_EQ(Run(), 0u);  // the operation goes on to the headers, which are not there
  EXPECT_EQ(attempts.sent, 5);
  EXPECT_EQ(pauses.size(), 5u);
}

TEST_F(RetryRule, AnUnparsableAnswerReopensOnceThenCountsAttempts) {
  attempts.receives = {12152, 12152, 12152, 12152, 12152, 12152, 12152};
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(attempts.reopened, 1);
  EXPECT_EQ(attempts.sent, 6);  // one before the reopening, five after it
  EXPECT_TRUE(
      log.Contains("Op : Going to close the request handle and going to resending the data to the server "
                   "kvserver,as the error code received is 12152 \n"));
  EXPECT_TRUE(pauses.empty());
}

TEST_F(RetryRule, ACancelledSendReopensOnceThenEnds) {
  attempts.sends = {12017, 12017};
  EXPECT_EQ(Run(), 12017u);
  EXPECT_EQ(attempts.reopened, 1);
  EXPECT_TRUE(log.Contains("[ERROR] Op :  Error in WinHttpSendRequest -> 12017 \n"));
}

TEST_F(RetryRule, OtherFailuresEndTheOperationAtOnce) {
  attempts.sends = {12029};
  EXPECT_EQ(Run(), 12029u);
  EXPECT_EQ(attempts.sent, 1);
  EXPECT_TRUE(log.Contains("HttpGetLastError: The attempt to connect to the server failed.\n"));

  attempts.sent = 0;
  attempts.receives = {12002};
  EXPECT_EQ(Run(), 12002u);
  EXPECT_EQ(attempts.sent, 1);
  EXPECT_TRUE(log.Contains("[INFO] Op :  Error - WinHttpReceiveResponse --> 12002 \n"));
}

TEST(HttpErrorTexts, TableAndSystemTexts) {
  test::TestLog log(4);
  HttpGetLastError(12184);
  HttpGetLastError(12011);
  HttpGetLastError(12047);  // a gap in the table: the system's text
  const std::string text = log.Contents();
  const std::string resend =
      "HttpGetLastError: The WinHTTP function failed. The desired function can be retried on the same request handle "
      "\n";
  EXPECT_NE(text.find(resend), std::string::npos);
  EXPECT_NE(text.find("HttpGetLastError: The request option can not be set, only queried.\n "), std::string::npos);
  EXPECT_NE(text.find("Error Code : 12047"), std::string::npos);
  EXPECT_EQ(text.find("HttpGetLastError: Error"), std::string::npos);
  EXPECT_EQ(
      std::string(WinHttpErrorText(12038)).rfind("SSL certificate common name (host name field) is incorrect.", 0), 0u);
}

// Windows 7 and 8 get TLS 1.0 to 1.2 set on the session; others keep their own.
TEST(SecureProtocols, OnlyWindows7And8AreConfigured) {
  test::TempMachine machine;
  test::TestLog log(4);
  for (const auto& [version, expected] :
       {std::pair{"\"major\":6,\"minor\":1", 0xA80u}, std::pair{"\"major\":6,\"minor\":2", 0xA80u},
        std::pair{"\"major\":6,\"minor\":3", 0u}, std::pair{"\"major\":10,\"minor\":0", 0u}}) {
    machine.WriteMachineJson(std::string(R"({"os":{"platform_id":2,)") + version + "}}");
    machine.Use();
    HINTERNET session = nullptr;
    ASSERT_EQ(WinHttpOpen(u"KelvaneAgent", WINHTTP_ACCESS_TYPE_NO_PROXY, {}, {}, 0, &session), 0u);
    EXPECT_EQ(SetSecureProtocols(session), 1);
    DWORD protocols = 0;
    ASSERT_EQ(WinHttpQueryOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols), 0u);
    EXPECT_EQ(protocols, expected) << version;
    WinHttpCloseHandle(session);
  }
}

}  // namespace
}  // namespace kv
