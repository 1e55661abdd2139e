#pragma once
// The registry of a machine image as a tree, and its text form: the
// "Windows Registry Editor Version 5.00" export that regedit reads and
// writes. Names keep their case and are found without regard to it.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win_types.h"

namespace kv::posix {

// String data as the registry stores it: UTF-16LE, two bytes a unit. An odd
// last byte is not part of any unit.
std::vector<BYTE> Utf16LeBytes(std::u16string_view text);
std::u16string Utf16LeUnits(const std::vector<BYTE>& data);

struct RegValue {
  std::u16string name;  // empty: the key's default value
  DWORD type = 0;
  std::vector<BYTE> data;
};

// Positions of names in a list, looked up without regard to case.
class NameIndex {
 public:
  std::optional<std::size_t> Find(std::u16string_view name) const;
  void Add(std::u16string_view name, std::size_t position);
  void Clear() { positions_.clear(); }

 private:
  std::unordered_map<std::u16string, std::size_t> positions_;  // upper-cased name
};

// One key: its subkeys and values, each kept in the order they were added.
class RegNode {
 public:
  explicit RegNode(std::u16string name = {}) : name_(std::move(name)) {}
  RegNode(RegNode&&) = default;
  RegNode& operator=(RegNode&&) = default;

  const std::u16string& name() const { return name_; }

  const std::vector<std::unique_ptr<RegNode>>& children() const { return children_; }
  RegNode* FindChild(std::u16string_view name);
  const RegNode* FindChild(std::u16string_view name) const;
  // The subkey of that name; made (after the others) when missing.
  RegNode& AddChild(std::u16string_view name, bool* created = nullptr);
  bool RemoveChild(std::u16string_view name);

  const std::vector<RegValue>& values() const { return values_; }
  const RegValue* FindValue(std::u16string_view name) const;
  // A value that exists keeps its place and the spelling of its name.
  // Returns false when the value was already stored exactly so.
  bool SetValue(std::u16string_view name, DWORD type, std::vector<BYTE> data);
  bool RemoveValue(std::u16string_view name);

 private:
  std::u16string name_;
  std::vector<std::unique_ptr<RegNode>> children_;
  NameIndex childIndex_;
  std::vector<RegValue> values_;
  NameIndex valueIndex_;
};

// The hives, in the order they are written: HKEY_CLASSES_ROOT,
// HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG,
// HKEY_DYN_DATA.
const std::vector<std::u16string>& HiveNames();
// The full hive name a root of a key path stands for (the full or the short
// name, any case); empty when it names no hive.
std::u16string_view CanonicalHiveName(std::u16string_view rootName);

// An empty registry: an unnamed root whose children are the hives.
RegNode MakeEmptyRegistry();

struct RegFileError {
  std::size_t line = 0;
  std::string message;
};

// Reads the text of a .reg file (UTF-8 with or without BOM, or UTF-16LE with
// BOM; CRLF or LF) into a registry made by MakeEmptyRegistry. Deletions ("[-KEY]",
// "name"=-) are ignored. On error the registry is left partly filled.
std::optional<RegFileError> ParseRegFile(std::string_view bytes, RegNode& registry);

// The text of a registry: UTF-8 without BOM, the same bytes for the same tree,
// every value reading back byte for byte.
std::string FormatRegFile(const RegNode& registry);

}  // namespace kv::posix
