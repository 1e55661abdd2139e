#pragma once
// The text of an image's machine.json read into a document, or the reason it
// cannot be: a syntax error, a number out of range, nesting too deep, or a
// member of the wrong type or with a value no Windows computer reports.

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace kv::posix {

// Objects and arrays nest at most this deep; a real machine.json needs a
// handful of levels.
inline constexpr std::size_t kMaxMachineJsonDepth = 64;

struct MachineJsonError {
  std::size_t line = 0;  // 0 when the fault is not at one place of the text
  std::string member;    // JSON pointer of the member at fault; empty for the document
  std::string message;
};

// Parses and checks machine.json. On success info holds the document (an
// object); on error it is left an empty object.
std::optional<MachineJsonError> ParseMachineJson(std::string_view text, nlohmann::json& info);

// Checks the members the machine reads for their type and range; the first
// fault found, or nothing. Members it does not know are left alone.
std::optional<MachineJsonError> CheckMachineJson(const nlohmann::json& info);

}  // namespace kv::posix
