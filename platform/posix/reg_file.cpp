#include "platform/posix/reg_file.h"

#include <array>
#include <cstdio>

#include "platform/registry.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

std::u16string Fold(std::u16string_view name) {
  std::u16string folded(name);
  for (auto& c : folded) c = ToUpperChar(c);
  return folded;
}

// ---------------------------------------------------------------- reading

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char a = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] + 32) : s[i];
    if (a != prefix[i]) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to maxDigits hex digits and nothing else.
std::optional<DWORD> ParseHexNumber(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  DWORD value = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<DWORD>(d);
  }
  return value;
}

// The text of a .reg file as UTF-8.
std::optional<std::string> DecodeText(std::string_view bytes, RegFileError& error) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFE\xFF")) {
    error = {1, "UTF-16 big-endian text is not supported"};
    return std::nullopt;
  }
  if (!bytes.starts_with("\xFF\xFE")) return std::string(bytes);
  bytes.remove_prefix(2);
  std::string text = Utf16ToUtf8(Utf16LeUnits(std::vector<BYTE>(bytes.begin(), bytes.end())));
  if (bytes.size() % 2 != 0) {
    std::size_t lines = 1;
    for (char c : text) lines += c == '\n';
    error = {lines, "the UTF-16 text ends in the middle of a character"};
    return std::nullopt;
  }
  return text;
}

class RegParser {
 public:
  RegParser(std::string_view text, RegNode& registry) : text_(text), registry_(registry) {}

  std::optional<RegFileError> Run() {
    bool headerSeen = false;
    std::string_view line;
    while (NextLine(line)) {
      const std::string_view content = Trim(line);
      if (content.empty() || (headerSeen && content.front() == ';')) continue;
      if (!(headerSeen ? Entry(content) : Header(content))) return error_;
      headerSeen = true;
    }
    return std::nullopt;  // a file with nothing in it is an empty registry
  }

 private:
  bool Header(std::string_view content) {
    return content == kHeader || Fail("the file does not begin with \"" + std::string(kHeader) + "\"");
  }

  bool Entry(std::string_view content) {
    if (content.front() == '[') return Section(content);
    if (content.front() == '"' || content.front() == '@') return Value(content);
    return Fail("a line that is neither a key, a value nor a comment");
  }

  bool NextLine(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++lineNo_;
    return true;
  }

  bool Fail(std::string message) {
    error_ = RegFileError{lineNo_, std::move(message)};
    return false;
  }

  bool Section(std::string_view content) {
    const std::size_t close = content.rfind(']');
    if (close == std::string_view::npos) return Fail("a key line without its closing ']'");
    if (!Trim(content.substr(close + 1)).empty()) return Fail("text after the key's closing ']'");
    const std::string_view path = content.substr(1, close - 1);
    if (path.starts_with('-')) {  // a deletion: the key and what follows it are ignored
      current_ = nullptr;
      inDeletion_ = true;
      return true;
    }
    inDeletion_ = false;
    const std::size_t slash = path.find('\\');
    const std::u16string_view hive = CanonicalHiveName(Utf8ToUtf16(path.substr(0, slash)));
    if (hive.empty()) return Fail("unknown root key \"" + std::string(path.substr(0, slash)) + "\"");
    RegNode* key = &registry_.AddChild(hive);
    std::string_view rest = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    while (!rest.empty()) {
      const std::size_t next = rest.find('\\');
      const std::string_view name = rest.substr(0, next);
      if (!name.empty()) key = &key->AddChild(Utf8ToUtf16(name));
      rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next + 1);
    }
    current_ = key;
    return true;
  }

  // A quoted text with \\ and \" escapes at the start of s; advances s past it.
  std::optional<std::string> Quoted(std::string_view& s) {
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
      if (s[i] == '"') {
        s.remove_prefix(i + 1);
        return out;
      }
      if (s[i] == '\\') {
        if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
          Fail("an unknown escape in a quoted text (only \\\\ and \\\" are known)");
          return std::nullopt;
        }
        ++i;
      }
      out += s[i];
    }
    Fail("a quoted text without its closing quote");
    return std::nullopt;
  }

  bool Value(std::string_view content) {
    std::u16string name;
    if (content.front() == '@') {
      content.remove_prefix(1);
    } else {
      const auto quoted = Quoted(content);
      if (!quoted) return false;
      name = Utf8ToUtf16(*quoted);
    }
    content = TrimLeft(content);
    if (content.empty() || content.front() != '=') return Fail("'=' expected after the value name");
    content = Trim(content.substr(1));

    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    if (content == "-") return true;  // a deletion
    if (content.starts_with('"')) {
      const auto text = Quoted(content);
      if (!text) return false;
      if (!content.empty()) return Fail("text after the closing quote of a value");
      data = Utf16LeBytes(Utf8ToUtf16(*text) + u'\0');
    } else if (StartsWithNoCase(content, "dword:")) {
      const auto number = ParseHexNumber(content.substr(6), 8);
      if (!number) return Fail("dword: needs 1 to 8 hex digits");
      type = REG_DWORD;
      for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<BYTE>(*number >> shift));
    } else if (StartsWithNoCase(content, "hex")) {
      if (!HexValue(content.substr(3), type, data)) return false;
    } else {
      return Fail("unknown value data (expected \"text\", dword:, hex: or hex(type):)");
    }
    if (current_ != nullptr)
      current_->SetValue(name, type, std::move(data));
    else if (!inDeletion_)
      return Fail("a value before the first key");
    return true;
  }

  // ":00,01,..." or "(type):00,01,...", continued over lines ending in '\'.
  bool HexValue(std::string_view s, DWORD& type, std::vector<BYTE>& data) {
    type = REG_BINARY;
    if (s.starts_with('(')) {
      const std::size_t close = s.find(')');
      const auto number = close == std::string_view::npos ? std::nullopt : ParseHexNumber(s.substr(1, close - 1), 8);
      if (!number) return Fail("hex( needs a type of 1 to 8 hex digits and ')'");
      type = *number;
      s.remove_prefix(close + 1);
    }
    if (!s.starts_with(':')) return Fail("':' expected after hex");
    s.remove_prefix(1);
    for (;;) {
      s = Trim(s);
      const bool continued = s.ends_with('\\');
      if (continued) s = TrimRight(s.substr(0, s.size() - 1));
      if (!HexBytes(s, continued, data)) return Fail("malformed hex bytes (expected two hex digits between commas)");
      if (!continued) return true;
      if (!NextLine(s)) return Fail("the file ends inside a continued value");
    }
  }

  // One line's part of a byte list; a continued part may end in a comma.
  static bool HexBytes(std::string_view s, bool continued, std::vector<BYTE>& data) {
    if (continued && s.ends_with(',')) s.remove_suffix(1);
    if (s.empty()) return true;
    for (;;) {
      const std::size_t comma = s.find(',');
      const auto byte = ParseHexNumber(Trim(s.substr(0, comma)), 2);
      if (!byte) return false;
      data.push_back(static_cast<BYTE>(*byte));
      if (comma == std::string_view::npos) return true;
      s.remove_prefix(comma + 1);
    }
  }

  std::string_view text_;
  RegNode& registry_;
  std::size_t pos_ = 0;
  std::size_t lineNo_ = 0;
  RegNode* current_ = nullptr;
  bool inDeletion_ = false;
  RegFileError error_;
};

// ---------------------------------------------------------------- writing

std::string Escaped(std::u16string_view text) {
  std::string out;
  for (char c : Utf16ToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// REG_SZ data that reads back byte for byte from a quoted text: UTF-16LE
// with exactly one NUL, at the end, no control characters and no lone
// surrogates.
bool IsPlainText(const std::vector<BYTE>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  std::u16string units = Utf16LeUnits(data);
  if (units.back() != u'\0') return false;
  units.pop_back();
  for (char16_t u : units)
    if (u < 0x20) return false;
  return Utf8ToUtf16(Utf16ToUtf8(units)) == units;
}

// Wraps the byte list as regedit does: lines of about 80 columns, continued
// with ",\" and an indent of two spaces.
void AppendHexList(std::string& out, std::size_t lineLength, const std::vector<BYTE>& data) {
  constexpr std::size_t kWrapAt = 77;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", data[i]);
    out += hex;
    if (i + 1 == data.size()) break;
    out += ',';
    lineLength += 3;
    if (lineLength >= kWrapAt) {
      out += "\\\n  ";
      lineLength = 2;
    }
  }
}

void AppendValue(std::string& out, const RegValue& value) {
  const std::size_t start = out.size();
  out += value.name.empty() ? std::string("@") : "\"" + Escaped(value.name) + "\"";
  out += '=';
  if (value.type == REG_SZ && IsPlainText(value.data)) {
    const std::u16string text = Utf16LeUnits(value.data);
    out += "\"" + Escaped(std::u16string_view(text).substr(0, text.size() - 1)) + "\"";
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    char dword[16];
    const auto& d = value.data;
    std::snprintf(dword, sizeof dword, "%08x", d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<DWORD>(d[3]) << 24));
    out += "dword:";
    out += dword;
  } else {
    char type[24] = "hex:";
    if (value.type != REG_BINARY) std::snprintf(type, sizeof type, "hex(%x):", value.type);
    out += type;
    AppendHexList(out, out.size() - start, value.data);
  }
  out += '\n';
}

void AppendKey(std::string& out, const RegNode& key, const std::string& path, bool hive) {
  if (!hive || !key.values().empty()) {
    out += "[" + path + "]\n";
    for (const auto& value : key.values()) AppendValue(out, value);
    out += '\n';
  }
  for (const auto& child : key.children()) AppendKey(out, *child, path + "\\" + Utf16ToUtf8(child->name()), false);
}

}  // namespace

// ---------------------------------------------------------------- the tree

std::vector<BYTE> Utf16LeBytes(std::u16string_view text) {
  std::vector<BYTE> bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  return bytes;
}

std::u16string Utf16LeUnits(const std::vector<BYTE>& data) {
  std::u16string units(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return units;
}

std::optional<std::size_t> NameIndex::Find(std::u16string_view name) const {
  const auto it = positions_.find(Fold(name));
  if (it == positions_.end()) return std::nullopt;
  return it->second;
}

void NameIndex::Add(std::u16string_view name, std::size_t position) { positions_.emplace(Fold(name), position); }

RegNode* RegNode::FindChild(std::u16string_view name) {
  const auto at = childIndex_.Find(name);
  return at ? children_[*at].get() : nullptr;
}

const RegNode* RegNode::FindChild(std::u16string_view name) const {
  return const_cast<RegNode*>(this)->FindChild(name);
}

RegNode& RegNode::AddChild(std::u16string_view name, bool* created) {
  RegNode* existing = FindChild(name);
  if (created) *created = existing == nullptr;
  if (existing) return *existing;
  childIndex_.Add(name, children_.size());
  children_.push_back(std::make_unique<RegNode>(std::u16string(name)));
  return *children_.back();
}

bool RegNode::RemoveChild(std::u16string_view name) {
  const auto at = childIndex_.Find(name);
  if (!at) return false;
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(*at));
  childIndex_.Clear();
  for (std::size_t i = 0; i < children_.size(); ++i) childIndex_.Add(children_[i]->name(), i);
  return true;
}

const RegValue* RegNode::FindValue(std::u16string_view name) const {
  const auto at = valueIndex_.Find(name);
  return at ? &values_[*at] : nullptr;
}

bool RegNode::SetValue(std::u16string_view name, DWORD type, std::vector<BYTE> data) {
  if (const auto at = valueIndex_.Find(name)) {
    RegValue& value = values_[*at];
    if (value.type == type && value.data == data) return false;
    value.type = type;
    value.data = std::move(data);
    return true;
  }
  valueIndex_.Add(name, values_.size());
  values_.push_back(RegValue{std::u16string(name), type, std::move(data)});
  return true;
}

bool RegNode::RemoveValue(std::u16string_view name) {
  const auto at = valueIndex_.Find(name);
  if (!at) return false;
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(*at));
  valueIndex_.Clear();
  for (std::size_t i = 0; i < values_.size(); ++i) valueIndex_.Add(values_[i].name, i);
  return true;
}

const std::vector<std::u16string>& HiveNames() {
  static const std::vector<std::u16string> names{u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",   u"HKEY_LOCAL_MACHINE",
                                                 u"HKEY_USERS",        u"HKEY_CURRENT_CONFIG", u"HKEY_DYN_DATA"};
  return names;
}

std::u16string_view CanonicalHiveName(std::u16string_view rootName) {
  static constexpr std::array<std::u16string_view, 6> shortNames{u"HKCR", u"HKCU", u"HKLM", u"HKU", u"HKCC", u"HKDD"};
  const auto& names = HiveNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (EqualsNoCase(rootName, names[i]) || EqualsNoCase(rootName, shortNames[i])) return names[i];
  return {};
}

RegNode MakeEmptyRegistry() {
  RegNode root;
  for (const auto& hive : HiveNames()) root.AddChild(hive);
  return root;
}

std::optional<RegFileError> ParseRegFile(std::string_view bytes, RegNode& registry) {
  RegFileError error;
  const auto text = DecodeText(bytes, error);
  if (!text) return error;
  return RegParser(*text, registry).Run();
}

std::string FormatRegFile(const RegNode& registry) {
  std::string out(kHeader);
  out += "\n\n";
  for (const auto& hive : registry.children()) AppendKey(out, *hive, Utf16ToUtf8(hive->name()), true);
  return out;
}

}  // namespace kv::posix
