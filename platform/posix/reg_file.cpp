#include "platform/posix/reg_file.h"

#include <array>
#include <cstdio>

#include "platform/ascii.h"
#include "platform/registry.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";

std::string Narrow(std::u16string_view text) { return Utf16ToUtf8(text); }

// ---------------------------------------------------------------- reading

// The file's blanks are spaces and tabs only.
std::u16string_view TrimLeft(std::u16string_view s) { return ascii::TrimLeft(s, ascii::IsSpaceOrTab<char16_t>); }
std::u16string_view TrimRight(std::u16string_view s) { return ascii::TrimRight(s, ascii::IsSpaceOrTab<char16_t>); }
std::u16string_view Trim(std::u16string_view s) { return ascii::Trim(s, ascii::IsSpaceOrTab<char16_t>); }

// 1 to maxDigits hex digits and nothing else.
std::optional<DWORD> ParseHexNumber(std::u16string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  DWORD value = 0;
  for (char16_t c : s) {
    const int d = ascii::HexDigitValue(c);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<DWORD>(d);
  }
  return value;
}

class RegParser {
 public:
  RegParser(const RegText& text, RegNode& registry, std::vector<RegRecord>* records)
      : text_(text), registry_(registry), records_(records) {}

  std::optional<RegFileError> Run() {
    bool headerSeen = false;
    std::u16string_view line;
    while (NextLine(line)) {
      record_ = RegRecord{RegRecord::Kind::kText, lineNo_ - 1, lineNo_ - 1, {}, kNoRecord, {}};
      const std::u16string_view content = Trim(line);
      if (!content.empty() && !(headerSeen && content.front() == u';')) {
        if (!(headerSeen ? Entry(content) : Header(content))) return error_;
        headerSeen = true;
      }
      record_.lastLine = lineNo_ - 1;
      if (records_) records_->push_back(std::move(record_));
    }
    return std::nullopt;  // a file with nothing in it is an empty registry
  }

 private:
  bool Header(std::u16string_view content) {
    return content == kHeader || Fail("the file does not begin with \"" + Narrow(kHeader) + "\"");
  }

  bool Entry(std::u16string_view content) {
    if (content.front() == u'[') return Section(content);
    if (content.front() == u'"' || content.front() == u'@') return Value(content);
    return Fail("a line that is neither a key, a value nor a comment");
  }

  bool NextLine(std::u16string_view& line) {
    if (lineNo_ >= text_.lines.size()) return false;
    line = text_.lines[lineNo_++].text;
    return true;
  }

  bool Fail(std::string message) {
    error_ = RegFileError{lineNo_, std::move(message)};
    return false;
  }

  std::size_t RecordIndex() const { return records_ ? records_->size() : kNoRecord; }

  RegNode& Touch(RegNode& key) {
    if (key.serial() == 0) key.set_serial(nextSerial_++);
    record_.path.push_back(key.serial());
    return key;
  }

  // The names of a key path below its hive, within Windows' limits.
  bool KeyNames(std::u16string_view rest, std::vector<std::u16string_view>& names) {
    while (!rest.empty()) {
      const std::size_t next = rest.find(u'\\');
      const std::u16string_view name = rest.substr(0, next);
      if (name.size() > kMaxKeyNameLength)
        return Fail("a key name longer than " + std::to_string(kMaxKeyNameLength) + " characters");
      if (!name.empty()) names.push_back(name);
      if (names.size() > kMaxKeyDepth)
        return Fail("a key path deeper than " + std::to_string(kMaxKeyDepth) + " levels");
      rest = next == std::u16string_view::npos ? std::u16string_view{} : rest.substr(next + 1);
    }
    return true;
  }

  bool Section(std::u16string_view content) {
    const std::size_t close = content.rfind(u']');
    if (close == std::u16string_view::npos) return Fail("a key line without its closing ']'");
    if (!Trim(content.substr(close + 1)).empty()) return Fail("text after the key's closing ']'");
    std::u16string_view path = content.substr(1, close - 1);
    const bool deletion = path.starts_with(u'-');
    if (deletion) path.remove_prefix(1);
    const std::size_t slash = path.find(u'\\');
    const std::u16string_view hive = CanonicalHiveName(path.substr(0, slash));
    std::vector<std::u16string_view> names;
    if (!KeyNames(slash == std::u16string_view::npos ? std::u16string_view{} : path.substr(slash + 1), names))
      return false;
    current_ = nullptr;
    section_ = kNoRecord;
    inDeletion_ = deletion;
    if (deletion) {  // the key and what follows it up to the next key are gone
      record_.kind = RegRecord::Kind::kKeyDeletion;
      if (!hive.empty()) Delete(*registry_.FindChild(hive), names);
      return true;
    }
    if (hive.empty()) return Fail("unknown root key \"" + Narrow(path.substr(0, slash)) + "\"");
    record_.kind = RegRecord::Kind::kKey;
    RegNode* key = &Touch(*registry_.FindChild(hive));
    for (const auto name : names) key = &Touch(key->AddChild(name));
    current_ = key;
    section_ = RecordIndex();
    return true;
  }

  // Removes the key at names below the hive, with everything below it; a
  // hive itself stays.
  static void Delete(RegNode& hive, const std::vector<std::u16string_view>& names) {
    RegNode* parent = &hive;
    for (std::size_t i = 0; parent != nullptr && i + 1 < names.size(); ++i) parent = parent->FindChild(names[i]);
    if (parent != nullptr && !names.empty()) parent->RemoveChild(names.back());
  }

  // A quoted text with \\ and \" escapes at the start of s; advances s past it.
  std::optional<std::u16string> Quoted(std::u16string_view& s) {
    std::u16string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
      if (s[i] == u'"') {
        s.remove_prefix(i + 1);
        return out;
      }
      if (s[i] == u'\\') {
        if (i + 1 >= s.size() || (s[i + 1] != u'\\' && s[i + 1] != u'"')) {
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

  bool Value(std::u16string_view content) {
    std::u16string name;
    if (content.front() == u'@') {
      content.remove_prefix(1);
    } else {
      auto quoted = Quoted(content);
      if (!quoted) return false;
      if (quoted->size() > kMaxValueNameLength)
        return Fail("a value name longer than " + std::to_string(kMaxValueNameLength) + " characters");
      name = std::move(*quoted);
    }
    content = TrimLeft(content);
    if (content.empty() || content.front() != u'=') return Fail("'=' expected after the value name");
    content = Trim(content.substr(1));
    record_.section = section_;

    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    if (content == u"-") {  // a deletion
      record_.kind = RegRecord::Kind::kValueDeletion;
      if (current_ != nullptr) current_->RemoveValue(name);
      record_.name = std::move(name);
      return true;
    }
    if (content.starts_with(u'"')) {
      const auto text = Quoted(content);
      if (!text) return false;
      if (!content.empty()) return Fail("text after the closing quote of a value");
      data = Utf16LeBytes(*text + u'\0');
    } else if (ascii::StartsWithNoCase(content, u"dword:")) {
      const auto number = ParseHexNumber(content.substr(6), 8);
      if (!number) return Fail("dword: needs 1 to 8 hex digits");
      type = REG_DWORD;
      for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<BYTE>(*number >> shift));
    } else if (ascii::StartsWithNoCase(content, u"hex")) {
      if (!HexValue(content.substr(3), type, data)) return false;
    } else {
      return Fail("unknown value data (expected \"text\", dword:, hex: or hex(type):)");
    }
    if (current_ == nullptr && !inDeletion_) return Fail("a value before the first key");
    record_.kind = RegRecord::Kind::kValue;
    if (current_ != nullptr) {
      current_->SetValue(name, type, std::move(data));
      current_->MarkRead(name, RecordIndex());
    }
    record_.name = std::move(name);
    return true;
  }

  // ":00,01,..." or "(type):00,01,...", continued over lines ending in '\'.
  bool HexValue(std::u16string_view s, DWORD& type, std::vector<BYTE>& data) {
    type = REG_BINARY;
    if (s.starts_with(u'(')) {
      const std::size_t close = s.find(u')');
      const auto number = close == std::u16string_view::npos ? std::nullopt : ParseHexNumber(s.substr(1, close - 1), 8);
      if (!number) return Fail("hex( needs a type of 1 to 8 hex digits and ')'");
      type = *number;
      s.remove_prefix(close + 1);
    }
    if (!s.starts_with(u':')) return Fail("':' expected after hex");
    s.remove_prefix(1);
    for (;;) {
      s = Trim(s);
      const bool continued = s.ends_with(u'\\');
      if (continued) s = TrimRight(s.substr(0, s.size() - 1));
      if (!HexBytes(s, continued, data)) return Fail("malformed hex bytes (expected two hex digits between commas)");
      if (!continued) return true;
      if (!NextLine(s)) return Fail("the file ends inside a continued value");
    }
  }

  // One line's part of a byte list; a continued part may end in a comma.
  static bool HexBytes(std::u16string_view s, bool continued, std::vector<BYTE>& data) {
    if (continued && s.ends_with(u',')) s.remove_suffix(1);
    if (s.empty()) return true;
    for (;;) {
      const std::size_t comma = s.find(u',');
      const auto byte = ParseHexNumber(Trim(s.substr(0, comma)), 2);
      if (!byte) return false;
      data.push_back(static_cast<BYTE>(*byte));
      if (comma == std::u16string_view::npos) return true;
      s.remove_prefix(comma + 1);
    }
  }

  const RegText& text_;
  RegNode& registry_;
  std::vector<RegRecord>* records_;
  std::size_t lineNo_ = 0;  // lines taken so far: the current line's number
  RegRecord record_;
  RegNode* current_ = nullptr;
  std::size_t section_ = kNoRecord;
  bool inDeletion_ = false;
  std::uint64_t nextSerial_ = 1;
  RegFileError error_;
};

// ---------------------------------------------------------------- writing

std::u16string Escaped(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'\\' || c == u'"') out += u'\\';
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

void AppendAscii(std::u16string& out, const char* text) {
  for (; *text; ++text) out += static_cast<char16_t>(*text);
}

// Wraps the byte list as regedit does: lines of about 80 columns, continued
// with ",\" and an indent of two spaces.
void AppendHexList(std::u16string& out, std::size_t lineLength, const std::vector<BYTE>& data) {
  constexpr std::size_t kWrapAt = 77;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", data[i]);
    AppendAscii(out, hex);
    if (i + 1 == data.size()) break;
    out += u',';
    lineLength += 3;
    if (lineLength >= kWrapAt) {
      out += u"\\\n  ";
      lineLength = 2;
    }
  }
}

// Lines of a key and its values, then a blank line.
void AppendKey(std::u16string& out, const std::u16string& path, const RegNode& key) {
  out += u"[" + path + u"]\n";
  for (const auto& value : key.values()) out += FormatRegValue(value.name, value.type, value.data) + u"\n";
  out += u'\n';
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

std::size_t NameIndex::FoldedHash::operator()(std::u16string_view name) const noexcept {
  std::size_t hash = 14695981039346656037ull;
  for (char16_t c : name) hash = (hash ^ ToUpperChar(c)) * 1099511628211ull;
  return hash;
}

bool NameIndex::FoldedEqual::operator()(std::u16string_view a, std::u16string_view b) const noexcept {
  return EqualsNoCase(a, b);
}

std::optional<std::size_t> NameIndex::Find(std::u16string_view name) const {
  const auto it = positions_.find(name);
  if (it == positions_.end()) return std::nullopt;
  return it->second;
}

void NameIndex::Add(std::u16string_view name, std::size_t position) {
  positions_.emplace(std::u16string(name), position);
}

RegNode::~RegNode() {
  std::vector<std::unique_ptr<RegNode>> pending = std::move(children_);
  while (!pending.empty()) {
    const std::unique_ptr<RegNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children_) pending.push_back(std::move(child));
    node->children_.clear();
  }
}

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
    value.edited = true;
    return true;
  }
  valueIndex_.Add(name, values_.size());
  values_.push_back(RegValue{std::u16string(name), type, std::move(data), kNoRecord, false});
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

void RegNode::MarkRead(std::u16string_view name, std::size_t record) {
  if (const auto at = valueIndex_.Find(name)) {
    values_[*at].record = record;
    values_[*at].edited = false;
  }
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

std::optional<RegFileError> ParseRegText(const RegText& text, RegNode& registry, std::vector<RegRecord>* records) {
  if (records) records->clear();
  return RegParser(text, registry, records).Run();
}

std::optional<RegFileError> ParseRegFile(std::string_view bytes, RegNode& registry) {
  RegText text;
  if (const auto error = DecodeRegText(bytes, text)) return RegFileError{error->line, error->message};
  return ParseRegText(text, registry, nullptr);
}

std::u16string FormatRegValue(std::u16string_view name, DWORD type, const std::vector<BYTE>& data) {
  std::u16string out = name.empty() ? std::u16string(u"@") : u"\"" + Escaped(name) + u"\"";
  out += u'=';
  if (type == REG_SZ && IsPlainText(data)) {
    const std::u16string text = Utf16LeUnits(data);
    out += u"\"" + Escaped(std::u16string_view(text).substr(0, text.size() - 1)) + u"\"";
  } else if (type == REG_DWORD && data.size() == 4) {
    char dword[16];
    std::snprintf(dword, sizeof dword, "dword:%08x",
                  data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24));
    AppendAscii(out, dword);
  } else {
    char prefix[24] = "hex:";
    if (type != REG_BINARY) std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
    AppendAscii(out, prefix);
    AppendHexList(out, out.size(), data);
  }
  return out;
}

std::string FormatRegFile(const RegNode& registry) {
  std::u16string out(kHeader);
  out += u"\n\n";
  // Depth first without recursion: each key with its full path, its
  // subkeys after it in their order. A hive is written only with values.
  struct Pending {
    const RegNode* key;
    std::u16string path;
    bool hive;
  };
  std::vector<Pending> pending;
  for (auto it = registry.children().rbegin(); it != registry.children().rend(); ++it)
    pending.push_back(Pending{it->get(), (*it)->name(), true});
  while (!pending.empty()) {
    Pending next = std::move(pending.back());
    pending.pop_back();
    if (!next.hive || !next.key->values().empty()) AppendKey(out, next.path, *next.key);
    const auto& children = next.key->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      pending.push_back(Pending{it->get(), next.path + u"\\" + (*it)->name(), false});
  }
  return EncodeRegText(out, RegEncoding::kUtf8);
}

}  // namespace kv::posix
