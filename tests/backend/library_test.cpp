// Libraries loaded at run time, and the stand-in Defender library called
// through its export with Windows' calling convention.

#include "platform/library.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/last_error.h"
#include "platform/unicode.h"
#include "tests/support/scratch.h"

namespace kv {
namespace {

using WDStatusFunction = HRESULT(KV_WINAPI*)(std::int32_t* enabled);

TEST(LibraryTest, TheStandInAnswersThroughItsExport) {
  test::Scratch scratch;
  const std::string path = scratch.InstallStandIn("MpClient.dll", R"({"hresult":0,"enabled":1})");
  Library library;
  ASSERT_EQ(LoadLibraryW(Utf8ToUtf16(path), &library), ERROR_SUCCESS) << path;
  const auto status = reinterpret_cast<WDStatusFunction>(library.GetProcAddress("WDStatus"));
  ASSERT_NE(status, nullptr);
  std::int32_t enabled = -1;
  EXPECT_EQ(status(&enabled), 0);
  EXPECT_EQ(enabled, 1);
  EXPECT_EQ(library.GetProcAddress("NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
}

TEST(LibraryTest, ALibraryWithoutTheExportLoadsButHasNoWDStatus) {
  test::Scratch scratch;
  const std::string path = scratch.InstallStandIn("MpClientWithoutExport.dll", "{}");
  Library library;
  ASSERT_EQ(LoadLibraryW(Utf8ToUtf16(path), &library), ERROR_SUCCESS);
  EXPECT_EQ(library.GetProcAddress("WDStatus"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
}

TEST(LibraryTest, MissingFilesAndFilesThatAreNoLibraryFailWithTheirCodes) {
  test::Scratch scratch;
  Library library;
  EXPECT_EQ(LoadLibraryW(Utf8ToUtf16(scratch.Directory() + "\\Missing.dll"), &library), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  const std::string text = scratch.WriteFile("NotALibrary.dll", "this is text, not a library\n");
  EXPECT_EQ(LoadLibraryW(Utf8ToUtf16(text), &library), ERROR_BAD_EXE_FORMAT);
  EXPECT_FALSE(library.IsLoaded());
}

}  // namespace
}  // namespace kv
