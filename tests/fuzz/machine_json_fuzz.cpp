// Fuzz target for the reader of machine.json. Whatever the bytes, reading
// ends with a document or with a fault that names its place; a document it
// accepts passes the member check, and written out and read again it is the
// same document.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix/machine_json.h"

namespace {

[[noreturn]] void Broken(const char* what, const std::string& detail) {
  std::fprintf(stderr, "machine_json_fuzz: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv::posix;
  const std::string text(reinterpret_cast<const char*>(data), size);
  nlohmann::json info;
  if (const auto error = ParseMachineJson(text, info)) {
    if (error->message.empty()) Broken("a fault without a message", text);
    if (info != nlohmann::json::object()) Broken("a faulty document is kept", text);
    return 0;
  }
  if (!info.is_object()) Broken("a document that is not an object", text);
  if (const auto error = CheckMachineJson(info)) Broken("an accepted document fails the check", error->message);
  const std::string written = info.dump();
  nlohmann::json again;
  if (const auto error = ParseMachineJson(written, again)) Broken("the document does not read back", error->message);
  if (again != info) Broken("the document reads back differently", written);
  return 0;
}
