#include "tests/platform/written_registry_values.h"

#include "platform/posix/reg_file.h"
#include "platform/unicode.h"
#include "tests/support/child_process.h"

namespace kv::test {

std::optional<std::map<std::string, std::string>> WrittenValues(const TempMachine& machine, std::u16string_view key,
                                                                std::string* why) {
  posix::RegNode registry = posix::MakeEmptyRegistry();
  if (const auto error = posix::ParseRegFile(ReadWholeFile(machine.Path("registry.reg")), registry)) {
    if (why) *why = "registry.reg line " + std::to_string(error->line) + ": " + error->message;
    return std::nullopt;
  }
  std::map<std::string, std::string> values;
  const posix::RegNode* node = registry.FindChild(u"HKEY_LOCAL_MACHINE");
  node = node ? node->FindChild(u"SOFTWARE") : nullptr;
  node = node ? node->FindChild(key) : nullptr;
  if (node == nullptr) return values;
  for (const auto& value : node->values()) {
    std::u16string text = posix::Utf16LeUnits(value.data);
    if (!text.empty() && text.back() == u'\0') text.pop_back();
    values[Utf16ToUtf8(value.name)] = Utf16ToUtf8(text);
  }
  return values;
}

}  // namespace kv::test
