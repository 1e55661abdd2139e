#include "platform/posix/reg_document.h"

#include <unordered_map>
#include <unordered_set>

#include "platform/unicode.h"

namespace kv::posix {
namespace {

using Kind = RegRecord::Kind;

constexpr std::u16string_view kHeaderLine = u"Windows Registry Editor Version 5.00";

// Every key of a tree by its serial (those made since the file was read
// have none), found without recursion.
std::unordered_map<std::uint64_t, const RegNode*> KeysBySerial(const RegNode& registry) {
  std::unordered_map<std::uint64_t, const RegNode*> keys;
  std::vector<const RegNode*> pending{&registry};
  while (!pending.empty()) {
    const RegNode* key = pending.back();
    pending.pop_back();
    if (key->serial() != 0) keys.emplace(key->serial(), key);
    for (const auto& child : key->children()) pending.push_back(child.get());
  }
  return keys;
}

// A key's serial with a value name, matched without regard to case.
std::u16string ValueKey(std::uint64_t serial, std::u16string_view name) {
  std::u16string key;
  for (int shift = 0; shift < 64; shift += 16) key += static_cast<char16_t>(serial >> shift);
  for (char16_t c : name) key += ToUpperChar(c);
  return key;
}

bool IsBlankLine(std::u16string_view text) { return text.find_first_not_of(u" \t") == std::u16string_view::npos; }

bool HasNewValues(const RegNode& key) {
  for (const auto& value : key.values())
    if (value.record == kNoRecord) return true;
  return false;
}

// Builds the bytes of the file: the entries that stay, as they stood or
// written again, then what is new.
class Renderer {
 public:
  Renderer(const RegDocument::Reading& reading, const RegNode& tree)
      : reading_(reading),
        text_(reading.text),
        records_(reading.records),
        tree_(tree),
        keys_(KeysBySerial(tree)),
        eol_(text_.crlf ? u"\r\n" : u"\n") {}

  std::string Run() {
    Decide();
    out_ = std::string(ByteOrderMark(text_.encoding));
    if (!reading_.hasHeader) {
      Line(kHeaderLine);
      Line(u"");
    }
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const RegRecord& record = records_[i];
      switch (action_[i]) {
        case Action::kKeep: Keep(record); break;
        case Action::kWriteAgain: {
          const RegValue& value = *KeyOfSection(record.section)->FindValue(record.name);
          Line(FormatRegValue(record.name, value.type, value.data));
          break;
        }
        case Action::kDrop:
          if (const auto it = replacement_.find(i); it != replacement_.end()) Line(u"[" + PathOf(i, it->second) + u"]");
          break;
      }
      if (const auto after = insertAfter_.find(i); after != insertAfter_.end()) NewValues(*after->second);
    }
    NewKeys();
    return std::move(out_);
  }

 private:
  enum class Action { kKeep, kDrop, kWriteAgain };

  const RegNode* KeyOf(std::uint64_t serial) const {
    const auto it = keys_.find(serial);
    return it == keys_.end() ? nullptr : it->second;
  }
  const RegNode* KeyOfSection(std::size_t section) const { return KeyOf(records_[section].path.back()); }

  // Whether the key line at i is still written: a live key while the key
  // is there; a key deleted later in the file while the key it keeps in
  // being is there.
  bool Shown(std::size_t i) const {
    return reading_.live[i] ? keys_.contains(records_[i].path.back()) : keys_.contains(reading_.anchor[i]);
  }

  // The fate of a value entry of a live key that is still there.
  Action ValueAction(std::size_t i) const {
    if (reading_.deleted[i]) return Action::kKeep;  // its deletion follows: it stays without effect
    const RegValue* value = KeyOfSection(records_[i].section)->FindValue(records_[i].name);
    if (value == nullptr || value->record == kNoRecord) return Action::kDrop;  // gone, or made again since
    if (value->record != i) return Action::kKeep;  // set again further down when read: stays overridden
    return value->edited ? Action::kWriteAgain : Action::kKeep;
  }

  // A key line that goes may have been the first to name keys that stay: the
  // first naming gives a key its place among its siblings and the spelling
  // of its name. A line for the deepest of them takes its place.
  void Replace(std::size_t i) {
    const auto& path = records_[i].path;
    for (std::size_t depth = path.size(); depth-- > 1;) {
      const auto first = reading_.firstNamed.find(path[depth]);
      if (first != reading_.firstNamed.end() && first->second == i && keys_.contains(path[depth])) {
        replacement_.emplace(i, depth);
        represented_.insert(path[depth]);
        return;
      }
    }
  }

  void Decide() {
    std::unordered_map<const RegNode*, std::size_t> lastEntry;  // of each key with a line that stays
    action_.assign(records_.size(), Action::kKeep);
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const RegRecord& record = records_[i];
      std::size_t section = i;
      if (record.kind == Kind::kKey) {
        if (!Shown(i)) {
          action_[i] = Action::kDrop;
          Replace(i);
        } else if (reading_.live[i]) {
          represented_.insert(record.path.back());
        } else {
          represented_.insert(reading_.anchor[i]);
        }
      } else if ((record.kind == Kind::kValue || record.kind == Kind::kValueDeletion) && record.section != kNoRecord) {
        section = record.section;
        if (action_[section] == Action::kDrop)
          action_[i] = Action::kDrop;
        else if (record.kind == Kind::kValue && reading_.live[section])
          action_[i] = ValueAction(i);
      } else {
        continue;
      }
      // New values of a key go after the last entry of its last key line.
      if (action_[i] != Action::kDrop && reading_.live[section]) lastEntry[KeyOfSection(section)] = i;
    }
    for (const auto& [key, entry] : lastEntry) {
      insertAfter_.emplace(entry, key);
      withEntries_.insert(key);
    }
  }

  // "HKEY_...\a\b" down to the key at depth of record i's path, as the keys
  // are spelled now.
  std::u16string PathOf(std::size_t i, std::size_t depth) const {
    std::u16string path;
    for (std::size_t d = 0; d <= depth; ++d) {
      if (d > 0) path += u'\\';
      path += KeyOf(records_[i].path[d])->name();
    }
    return path;
  }

  void Keep(const RegRecord& record) {
    const RegLine& first = text_.lines[record.firstLine];
    const RegLine& last = text_.lines[record.lastLine];
    out_.append(reading_.bytes, first.begin, last.end - first.begin);
    const std::size_t unit = text_.encoding == RegEncoding::kUtf16Le ? 2 : 1;
    atLineStart_ = last.end >= last.begin + unit && reading_.bytes[last.end - unit] == '\n';
    lastBlank_ = record.kind == Kind::kText && IsBlankLine(last.text);
  }

  // One line in the file's encoding and line ends.
  void Line(std::u16string_view text) {
    std::u16string units;
    if (!atLineStart_) units += eol_;
    for (char16_t c : text) {
      if (c == u'\n')
        units += eol_;
      else
        units += c;
    }
    units += eol_;
    out_ += EncodeRegText(units, text_.encoding);
    atLineStart_ = true;
    lastBlank_ = text.empty();
  }

  void NewValues(const RegNode& key) {
    for (const auto& value : key.values())
      if (value.record == kNoRecord) Line(FormatRegValue(value.name, value.type, value.data));
  }

  // Keys that need lines of their own at the end: one with new values and no
  // line to put them after, every key made since the file was read (as
  // regedit writes a line for every key), and a key without subkeys that
  // no line kept would make when the file is read again.
  void NewKeys() {
    struct Pending {
      const RegNode* key;
      std::u16string path;
      bool hive;
    };
    std::vector<Pending> pending;
    const auto& hives = tree_.children();
    for (auto it = hives.rbegin(); it != hives.rend(); ++it) pending.push_back(Pending{it->get(), (*it)->name(), true});
    bool separated = false;
    while (!pending.empty()) {
      Pending next = std::move(pending.back());
      pending.pop_back();
      const RegNode& key = *next.key;
      const bool made = key.serial() == 0;
      const bool unmade = !next.hive && (made || (key.children().empty() && !represented_.contains(key.serial())));
      if ((!withEntries_.contains(&key) && HasNewValues(key)) || unmade) {
        if (!separated && !lastBlank_) Line(u"");
        separated = true;
        Line(u"[" + next.path + u"]");
        for (const auto& value : key.values()) Line(FormatRegValue(value.name, value.type, value.data));
        Line(u"");
      }
      const auto& children = key.children();
      for (auto it = children.rbegin(); it != children.rend(); ++it)
        pending.push_back(Pending{it->get(), next.path + u"\\" + (*it)->name(), false});
    }
  }

  const RegDocument::Reading& reading_;
  const RegText& text_;
  const std::vector<RegRecord>& records_;
  const RegNode& tree_;
  const std::unordered_map<std::uint64_t, const RegNode*> keys_;
  const std::u16string eol_;

  std::vector<Action> action_;
  std::unordered_map<std::size_t, std::size_t> replacement_;     // key line that goes -> depth of the key named instead
  std::unordered_map<std::size_t, const RegNode*> insertAfter_;  // entry -> key whose new values follow it
  std::unordered_set<const RegNode*> withEntries_;               // keys with a line of their own that stays
  std::unordered_set<std::uint64_t> represented_;                // keys a line that stays makes
  std::string out_;
  bool atLineStart_ = true;
  bool lastBlank_ = true;
};

}  // namespace

RegDocument::RegDocument() : tree_(MakeEmptyRegistry()) {}

std::optional<RegFileError> RegDocument::Parse(std::string bytes) {
  reading_ = Reading{};
  reading_.bytes = std::move(bytes);
  tree_ = MakeEmptyRegistry();
  std::optional<RegFileError> error;
  if (const auto textError = DecodeRegText(reading_.bytes, reading_.text))
    error = RegFileError{textError->line, textError->message};
  if (!error) error = ParseRegText(reading_.text, tree_, &reading_.records);
  if (error) {
    std::string kept = std::move(reading_.bytes);
    reading_ = Reading{};
    reading_.bytes = std::move(kept);
    tree_ = MakeEmptyRegistry();
    return error;
  }

  const auto& records = reading_.records;
  const auto present = KeysBySerial(tree_);
  reading_.live.assign(records.size(), false);
  reading_.anchor.assign(records.size(), 0);
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].kind != Kind::kKey) continue;
    reading_.live[i] = present.contains(records[i].path.back());
    for (const std::uint64_t serial : records[i].path) {
      if (present.contains(serial)) reading_.anchor[i] = serial;
      reading_.firstNamed.emplace(serial, i);
    }
  }
  // A value entry followed by a deletion of that value in the same key.
  reading_.deleted.assign(records.size(), false);
  std::unordered_set<std::u16string> deletedLater;  // of ValueKey
  for (std::size_t i = records.size(); i-- > 0;) {
    const RegRecord& record = records[i];
    if (record.section == kNoRecord || !reading_.live[record.section]) continue;
    std::u16string key = ValueKey(records[record.section].path.back(), record.name);
    if (record.kind == Kind::kValueDeletion)
      deletedLater.insert(std::move(key));
    else if (record.kind == Kind::kValue)
      reading_.deleted[i] = deletedLater.contains(key);
  }
  // The header is the first line that is not blank; a file without one is
  // given one when it is written.
  for (const auto& line : reading_.text.lines) reading_.hasHeader = reading_.hasHeader || !IsBlankLine(line.text);
  return std::nullopt;
}

std::string RegDocument::Render() const { return Renderer(reading_, tree_).Run(); }

}  // namespace kv::posix
