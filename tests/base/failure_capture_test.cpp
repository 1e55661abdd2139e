#include "base/failure_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/log_writer.h"
#include "base/status.h"

namespace kv {
namespace {

TEST(Status, SuccessIsEmptyAndAFailureKeepsItsCodeAndMessageThroughCopies) {
  const Status ok;
  EXPECT_TRUE(ok.ok());
  EXPECT_EQ(ok.code(), Status::Code::kOk);
  EXPECT_TRUE(ok.message().empty());

  Status failed = Status::Failure("no table FOO", Status::Code::kNotFound);
  const Status copy = failed;
  failed = Status::Ok();
  EXPECT_TRUE(failed.ok());
  EXPECT_FALSE(copy.ok());
  EXPECT_EQ(copy.code(), Status::Code::kNotFound);
  EXPECT_EQ(copy.message(), "no table FOO");

  // A failure never claims success, whatever code it was given.
  EXPECT_FALSE(Status::Failure("x", Status::Code::kOk).ok());
}

TEST(FailureCapture, KeepsEachErrorEntryAsOneLineWithoutAnOpenLog) {
  ResetLogger();
  FailureCapture failures;
  LogInfo("not a failure\n");
  LogDebug("nor this\n");
  LogError("\t@@@@@ rowPtr is NULL @@@@@ \n");
  LogError("Could not parse file %s\n", "a b.xml");
  LogError("   \n");  // nothing to say: no empty reason
  EXPECT_EQ(failures.Reasons(), "@@@@@ rowPtr is NULL @@@@@; Could not parse file a b.xml");

  failures.Clear();
  EXPECT_EQ(failures.Reasons(), "");
  EXPECT_TRUE(failures.StatusOf(true, "unused").ok());
  EXPECT_EQ(failures.StatusOf(false, "ours").message(), "ours");
  LogError("Table %s not found\n", "T");
  const Status status = failures.StatusOf(false, "ours", Status::Code::kNotFound);
  EXPECT_EQ(status.message(), "Table T not found");
  EXPECT_EQ(status.code(), Status::Code::kNotFound);
}

TEST(FailureCapture, NestedCapturesBothSeeInnerEntriesAndOtherThreadsStayApart) {
  FailureCapture outer;
  LogError("first\n");
  {
    FailureCapture inner;
    LogError("second\n");
    std::thread other([] { LogError("elsewhere\n"); });
    other.join();
    EXPECT_EQ(inner.Reasons(), "second");
  }
  LogError("third\n");
  EXPECT_EQ(outer.Reasons(), "first; second; third");
  EXPECT_TRUE(FailureCapture::Active());
}

TEST(FailureCapture, NothingIsKeptOnceTheLastCaptureEnds) {
  { FailureCapture failures; }
  EXPECT_FALSE(FailureCapture::Active());
  LogError("after\n");  // must not reach a capture that has gone
  FailureCapture fresh;
  EXPECT_EQ(fresh.Reasons(), "");
}

TEST(FailureCapture, ALoggedFailureKeepsItsCauseWhileTheLogKeepsTheChain) {
  FailureCapture logged;
  const Status cause = LogFailure(Status::Code::kNotFound, "Table %s not found\n", "T");
  EXPECT_EQ(cause.message(), "Table T not found");
  const Status outer = LogFailureAfter(cause, "Cannot load %s.\n", "T");
  EXPECT_EQ(outer.code(), Status::Code::kNotFound);
  EXPECT_EQ(outer.message(), "Table T not found");
  // Without an inner reason the outer line is the reason.
  const Status alone = LogFailureAfter(Status::Ok(), "\tCannot load %s.\n", "U");
  EXPECT_EQ(alone.code(), Status::Code::kFailed);
  EXPECT_EQ(alone.message(), "Cannot load U.");
  EXPECT_EQ(logged.Reasons(), "Table T not found; Cannot load T.; Cannot load U.");
}

}  // namespace
}  // namespace kv
