#pragma once
// The values of one key as registry.reg holds them, read straight from the
// file as another process would read it.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/test_machine.h"

namespace kv::test {

// The values (name -> text) of HKEY_LOCAL_MACHINE\SOFTWARE\<key>; none when
// the key is absent. nullopt when the file does not parse, and then *why
// (when given) names the line and the fault.
std::optional<std::map<std::string, std::string>> WrittenValues(const TempMachine& machine, std::u16string_view key,
                                                                std::string* why = nullptr);

}  // namespace kv::test
