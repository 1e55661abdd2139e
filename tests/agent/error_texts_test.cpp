// Error texts: the system's messages, the agent's own table and how they are logged.

#include "agent/error_texts.h"

#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/system.h"
#include "tests/support/test_log.h"

namespace kv {
namespace {

TEST(SystemMessages, KeepTheLineEndOrJoinLinesWithABlank) {
  EXPECT_EQ(FormatSystemMessage(2, false), u"The system cannot find the file specified.\r\n");
  EXPECT_EQ(FormatSystemMessage(2, true), u"The system cannot find the file specified. ");
  EXPECT_EQ(FormatSystemMessage(234, false), u"More data is available.\r\n");
  // Codes of the agent's own table have no system text.
  for (DWORD code : {1508u, 10001u, 17031u, 20001u, 0x240006u, 0x240007u, 424242u}) {
    EXPECT_EQ(FormatSystemMessage(code, true), std::nullopt) << code;
  }
}

TEST(ErrorTexts, SuccessIsLoggedAtInfo) {
  test::TestLog log;
  EXPECT_EQ(GetErrorCodeText(0), "The operation completed successfully. ");
  EXPECT_TRUE(log.Contains("[INFO] Message : The operation completed successfully.  \n"));
  EXPECT_FALSE(log.Contains("[ERROR]"));
}

TEST(ErrorTexts, SystemTextsAreSingleLineAndLoggedAtError) {
  test::TestLog log;
  EXPECT_EQ(GetErrorCodeText(13), "The data is invalid. ");
  EXPECT_TRUE(log.Contains("[ERROR] Error Code : 13 , Error Message : The data is invalid.  \n"));
}

TEST(ErrorTexts, BuiltinTableWhereTheSystemHasNoText) {
  test::TestLog log;
  EXPECT_EQ(GetErrorCodeText(17031), "OfficeUpdateError: Invalid baseline.");
  EXPECT_EQ(GetErrorCodeText(0x240007),
            "Patch already Uninstalled and the changes will not be effective until the system is rebooted.");
  EXPECT_EQ(GetErrorCodeText(12345), "Unknown Error. Code : 12345");
  EXPECT_TRUE(log.Contains("[ERROR] Error Code : 17031 , Error Message : OfficeUpdateError: Invalid baseline. \n"));
  EXPECT_TRUE(log.Contains("[ERROR] Error Code : 12345 , Error Message : Unknown Error. Code : 12345 \n"));

  EXPECT_EQ(GetBuiltinErrorText(10002), "kv.db.agent.config.run_as_admin.credentials_not_available");
  EXPECT_EQ(GetBuiltinErrorText(17048),
            "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater.");
  // The code is formatted as a signed number.
  EXPECT_EQ(GetBuiltinErrorText(0xFFFFFFFFu), "Unknown Error. Code : -1");
}

TEST(ErrorTexts, NarrowVariantTrimsAndLastErrorKeepsTheLineEnd) {
  test::TestLog log;
  EXPECT_EQ(LogErrorCodeTextA(5), 0);
  EXPECT_TRUE(log.Contains("[ERROR] Error Code : 5 , Error Message : Access is denied. \n"));

  SetLastError(ERROR_FILE_NOT_FOUND);
  LogLastErrorText();
  EXPECT_TRUE(log.Contains("[ERROR]  Error Message: The system cannot find the file specified.\r\n\n"));

  SetLastError(17031);  // no system text: an empty one
  LogLastErrorText();
  EXPECT_TRUE(log.Contains("[ERROR]  Error Message: \n"));
}

}  // namespace
}  // namespace kv
