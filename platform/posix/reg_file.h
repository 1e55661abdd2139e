#pragma once
// The registry of a machine image as a tree, and its text form: the
// "Windows Registry Editor Version 5.00" export that regedit reads and
// writes. Names keep their case and are found without regard to it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/reg_text.h"
#include "platform/win_types.h"

namespace kv::posix {

// Windows' limits: names in UTF-16 code units, depth in keys below the hive.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxKeyDepth = 512;

// String data as the registry stores it: UTF-16LE, two bytes a unit. An odd
// last byte is not part of any unit.
std::vector<BYTE> Utf16LeBytes(std::u16string_view text);
std::u16string Utf16LeUnits(const std::vector<BYTE>& data);

inline constexpr std::size_t kNoRecord = static_cast<std::size_t>(-1);

struct RegValue {
  std::u16string name;  // empty: the key's default value
  DWORD type = 0;
  std::vector<BYTE> data;
  // The entry of the file that set the value when it was read last
  // (kNoRecord: made since), and whether it has been changed since.
  std::size_t record = kNoRecord;
  bool edited = false;
};

// Positions of names in a list, looked up without regard to case.
class NameIndex {
 public:
  std::optional<std::size_t> Find(std::u16string_view name) const;
  void Add(std::u16string_view name, std::size_t position);
  void Clear() { positions_.clear(); }

 private:
  // Hash and equality of names as Windows compares them; a name is looked
  // up as it is, without making an upper-cased copy.
  struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view name) const noexcept;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept;
  };
  std::unordered_map<std::u16string, std::size_t, FoldedHash, FoldedEqual> positions_;
};

// One key: its subkeys and values, each kept in the order they were added.
class RegNode {
 public:
  explicit RegNode(std::u16string name = {}) : name_(std::move(name)) {}
  RegNode(RegNode&&) = default;
  RegNode& operator=(RegNode&&) = default;
  // Frees the keys below without recursion, however deep they go.
  ~RegNode();

  const std::u16string& name() const { return name_; }
  // A number for the key while it lives, given when the file is read
  // (0: made since).
  std::uint64_t serial() const { return serial_; }
  void set_serial(std::uint64_t serial) { serial_ = serial; }

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
  // Notes that the file's entry `record` set the value just now.
  void MarkRead(std::u16string_view name, std::size_t record);

 private:
  std::u16string name_;
  std::uint64_t serial_ = 0;
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

// What one entry of a registry file did when it was read: a line, or a value
// continued over several lines.
struct RegRecord {
  enum class Kind {
    kText,           // the header, a comment or a blank line
    kKey,            // [path]
    kKeyDeletion,    // [-path]
    kValue,          // "name"=data
    kValueDeletion,  // "name"=-
  };
  Kind kind = Kind::kText;
  std::size_t firstLine = 0;  // lines of the text, from 0
  std::size_t lastLine = 0;
  std::vector<std::uint64_t> path;  // kKey: serials of the keys on the path, the hive first
  std::size_t section = kNoRecord;  // kValue, kValueDeletion: the kKey record they follow
  std::u16string name;              // kValue, kValueDeletion: the value's name as written
};

// Reads the lines of a .reg file into a registry made by MakeEmptyRegistry,
// giving serials to the keys it makes and, with records, noting what each
// entry did. Deletions ("[-KEY]", "name"=-) are applied. A key path deeper
// than kMaxKeyDepth or a name longer than Windows allows is an error. On
// error the registry is left partly filled.
std::optional<RegFileError> ParseRegText(const RegText& text, RegNode& registry, std::vector<RegRecord>* records);

// The same from the bytes of a file (UTF-8 with or without BOM, or UTF-16LE
// with BOM; CRLF or LF).
std::optional<RegFileError> ParseRegFile(std::string_view bytes, RegNode& registry);

// A value as one entry of a .reg file, without its line end: regedit's forms,
// and hex(1) wherever a quoted text would not read back byte for byte.
std::u16string FormatRegValue(std::u16string_view name, DWORD type, const std::vector<BYTE>& data);

// The text of a registry: UTF-8 without BOM, every key, the same bytes for
// the same tree, every value reading back byte for byte.
std::string FormatRegFile(const RegNode& registry);

}  // namespace kv::posix
