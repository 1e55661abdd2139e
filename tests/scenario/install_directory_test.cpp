// The checker's log under installation directories of every form the
// registry may hold: wherever the path points, what the program writes stays
// inside the machine image, and a directory it may not write leaves the
// answer as it is.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/agent_image.h"
#include "tests/support/wine.h"

namespace kv {
namespace {

using test::TempMachine;
namespace fs = std::filesystem;

class InstallDirectoryTest : public ::testing::Test {
 protected:
  InstallDirectoryTest() {
    machine.WriteMachineJson(R"({"os":{"architecture":9,"wow64":true},"cwd":"C:\\Windows\\System32"})");
    machine.MakeDirectory("drive_c/Windows/System32");
  }
  void SetUp() override { KV_SKIP_UNDER_WINE("the emulated machine's mapping of paths into its image"); }

  // Runs the checker with the installation directory as the registry holds
  // it (a .reg quoted text) and answers its exit code.
  int Run(const std::string& installDirectory) {
    machine.WriteRegistry(test::RegKeyBlock(test::kAgentKey32, "\"KVAgentInstallDir\"=\"" + installDirectory +
                                                                   "\"\n\"KVAgentLogLevel\"=dword:00000004\n") +
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\QualityCompat]\n"
                          "\"cadca5fe-87d3-4b96-b7fb-a231484277cc\"=dword:00000000\n");
    const test::CheckerRun result = test::RunChecker(machine);
    EXPECT_EQ(result.run.err, "");
    return result.exitCode;
  }

  bool Logged(const std::string& directory) const {
    return machine.ReadFile(directory + "/logs/kvprereqhandler.log").find("Key found :::") != std::string::npos;
  }

  TempMachine machine;
  TempMachine outside;
};

TEST_F(InstallDirectoryTest, RelativeAndRootRelativeDirectoriesAreOnTheMachinesDrive) {
  machine.MakeDirectory("drive_c/Windows/System32/Agent");
  EXPECT_EQ(Run("Agent\\\\"), 0);
  EXPECT_TRUE(Logged("drive_c/Windows/System32/Agent"));
  EXPECT_FALSE(fs::exists("Agent"));

  machine.MakeDirectory("drive_c/Agent");
  EXPECT_EQ(Run("\\\\Agent\\\\"), 0);
  EXPECT_TRUE(Logged("drive_c/Agent"));
}

TEST_F(InstallDirectoryTest, ClimbingAboveTheDriveStopsAtItsRoot) {
  machine.MakeDirectory("drive_c/Agent");
  EXPECT_EQ(Run("..\\\\..\\\\..\\\\..\\\\..\\\\..\\\\Agent\\\\"), 0);
  EXPECT_TRUE(Logged("drive_c/Agent"));
  machine.MakeDirectory("drive_c/Other");
  EXPECT_EQ(Run("C:\\\\..\\\\..\\\\Other\\\\"), 0);
  EXPECT_TRUE(Logged("drive_c/Other"));
}

TEST_F(InstallDirectoryTest, AnotherComputersShareGetsNoLogAndTheSameAnswer) {
  EXPECT_EQ(Run("\\\\\\\\server\\\\share\\\\Agent\\\\"), 0);
  EXPECT_FALSE(machine.Exists("drive_c/server"));
  EXPECT_FALSE(machine.Exists("drive_c/Windows/System32/server"));
}

TEST_F(InstallDirectoryTest, ALogsDirectoryLinkedOutOfTheImageIsNotFollowed) {
  machine.MakeDirectory("drive_c/Agent");
  outside.MakeDirectory("target");
  fs::create_directory_symlink(outside.Path("target"), machine.Path("drive_c/Agent/logs"));
  EXPECT_EQ(Run("C:\\\\Agent\\\\"), 0);
  EXPECT_TRUE(fs::is_empty(outside.Path("target"))) << "the checker wrote outside the image";
}

}  // namespace
}  // namespace kv
