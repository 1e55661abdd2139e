#include <filesystem>

#include "tests/support/scratch.h"
#include "tests/support/test_machine.h"

namespace kv::test {

struct Scratch::Backing {
  TempMachine machine;
};

namespace {
// What the machine tells of itself to the tests of the seam.
std::string MachineJson(const std::string& defenderJson = "{}") {
  return R"({"os":{"major":10,"minor":0,"platform_id":2,"product_type":1,"architecture":9,"wow64":true},)"
         R"("identity":{"computer_name":"SCRATCH01"},"cwd":"C:\\",)"
         R"("wmi":{"available":true,"namespaces":{"root\\CIMV2":{"Win32_OperatingSystem":)"
         R"([{"Caption":"Microsoft Windows 10 Pro"}]}}},"defender":)" +
         defenderJson + "}";
}
}  // namespace

bool Scratch::RunsUnderWine() { return false; }

Scratch::Scratch() : backing_(new Backing) {
  backing_->machine.WriteMachineJson(MachineJson());
  // A 64-bit machine's registry has the 32-bit view's node.
  backing_->machine.WriteRegistry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node]\n\n");
  backing_->machine.MakeDirectory("drive_c/Scratch");
  backing_->machine.Use();
  directory_ = "C:\\Scratch";
  registryKey_ = "Software\\KvBackendTests";
}

Scratch::~Scratch() { delete backing_; }

std::string Scratch::InstallStandIn(const std::string& library, const std::string& defenderJson) const {
  // The emulated library reads the image's machine.json.
  backing_->machine.WriteMachineJson(MachineJson(defenderJson));
  const std::string path = directory_ + "\\" + library;
  InstallLibrary(backing_->machine, library, path);
  return path;
}

std::string Scratch::WriteFile(const std::string& name, const std::string& content) const {
  backing_->machine.WriteFile("drive_c/Scratch/" + name, content);
  return directory_ + "\\" + name;
}

}  // namespace kv::test
