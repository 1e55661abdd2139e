// Fuzz target for the registry file reader and writer. Whatever the bytes:
// reading either fails with a line or gives a registry whose file, written
// back untouched, is the same bytes; after changes made as the program makes
// them, the written file reads back as exactly the changed registry, and
// writes itself again unchanged.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/reg_document.h"
#include "platform/posix/reg_file.h"
#include "platform/registry.h"
#include "platform/unicode.h"

namespace kv::posix {
namespace {

[[noreturn]] void Broken(const char* what, const std::string& detail) {
  std::fprintf(stderr, "reg_file_fuzz: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// A small generator seeded from the input, so that every input always makes
// the same changes.
class Choices {
 public:
  explicit Choices(std::string_view bytes) {
    for (unsigned char c : bytes) state_ = (state_ ^ c) * 1099511628211ull;
  }
  std::size_t Below(std::size_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return n == 0 ? 0 : static_cast<std::size_t>((state_ >> 33) % n);
  }

 private:
  std::uint64_t state_ = 14695981039346656037ull;
};

// Keys and values one line each, in their order; names as their code units.
std::string Dump(const RegNode& registry) {
  std::string out;
  const auto units = [&out](std::u16string_view name) {
    for (char16_t u : name) {
      out += static_cast<char>(u >> 8);
      out += static_cast<char>(u & 0xFF);
    }
  };
  struct Pending {
    const RegNode* key;
    std::size_t depth;
  };
  std::vector<Pending> pending{{&registry, 0}};
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    out += std::string(next.depth, ' ') + "[";
    units(next.key->name());
    out += "]\n";
    for (const auto& value : next.key->values()) {
      out += std::string(next.depth, ' ') + " \"";
      units(value.name);
      out += "\" " + std::to_string(value.type) + ":";
      out.append(value.data.begin(), value.data.end());
      out += "\n";
    }
    const auto& children = next.key->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back({it->get(), next.depth + 1});
  }
  return out;
}

struct Place {
  RegNode* key;
  RegNode* parent;
  std::size_t depth;
};

std::vector<Place> Keys(RegNode& registry) {
  std::vector<Place> keys;
  std::vector<Place> pending{{&registry, nullptr, 0}};
  while (!pending.empty()) {
    const Place next = pending.back();
    pending.pop_back();
    if (next.depth > 0) keys.push_back(next);
    for (const auto& child : next.key->children()) pending.push_back({child.get(), next.key, next.depth + 1});
  }
  return keys;
}

std::size_t Depth(RegNode& registry) {
  std::size_t depth = 0;
  for (const Place& place : Keys(registry)) depth = std::max(depth, place.depth);
  return depth;
}

const std::u16string kNames[] = {
    u"", u"v", u"V", u"\xD800", u"x\xDC00y", u"q\"\\", u"Odd ]Name", u"\u00e9t\u00e9", u"\U0001F600", u" spaced "};

std::u16string PickName(Choices& choices, const RegNode& key, bool forValue) {
  if (choices.Below(2) == 0) {  // one that is there, maybe in another case
    if (forValue && !key.values().empty()) return key.values()[choices.Below(key.values().size())].name;
    if (!forValue && !key.children().empty()) return key.children()[choices.Below(key.children().size())]->name();
  }
  const std::u16string& name = kNames[choices.Below(std::size(kNames))];
  // A key's name holds no backslash (it separates keys) and is never empty.
  if (!forValue && (name.empty() || name.find(u'\\') != std::u16string::npos)) return std::u16string(1, u'k');
  return name;
}

// Changes of the kinds the registry functions make.
void Change(RegNode& registry, Choices& choices) {
  const std::size_t count = 1 + choices.Below(4);
  for (std::size_t i = 0; i < count; ++i) {
    std::vector<Place> keys = Keys(registry);
    const Place place = keys[choices.Below(keys.size())];
    RegNode& key = *place.key;
    switch (choices.Below(5)) {
      case 0:
      case 1: {
        static constexpr DWORD kTypes[] = {REG_SZ, REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_NONE, 0x12345};
        std::vector<BYTE> data(choices.Below(100));
        for (auto& b : data) b = static_cast<BYTE>(choices.Below(256));
        if (choices.Below(2) == 0) data = Utf16LeBytes(PickName(choices, key, true) + u'\0');
        key.SetValue(PickName(choices, key, true), kTypes[choices.Below(std::size(kTypes))], std::move(data));
        break;
      }
      case 2:
        if (!key.values().empty()) key.RemoveValue(key.values()[choices.Below(key.values().size())].name);
        break;
      case 3:
        if (place.depth <= kMaxKeyDepth) key.AddChild(PickName(choices, key, false));
        break;
      default:
        if (place.depth >= 2) place.parent->RemoveChild(key.name());  // a hive stays
        break;
    }
  }
}

bool HasContent(std::string_view bytes) {
  RegText text;
  if (DecodeRegText(bytes, text)) return false;
  for (const auto& line : text.lines)
    if (line.text.find_first_not_of(u" \t") != std::u16string::npos) return true;
  return false;
}

}  // namespace
}  // namespace kv::posix

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv::posix;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  RegDocument document;
  if (const auto error = document.Parse(bytes)) {
    if (error->line == 0 || error->message.empty()) Broken("an error without line or message", bytes);
    return 0;
  }
  if (HasContent(bytes) && document.Render() != bytes) Broken("an untouched file is not written back as it was", bytes);

  Choices choices(bytes);
  for (int round = 0; round < 2; ++round) {
    Change(document.tree(), choices);
    const std::string expected = Dump(document.tree());
    const std::string written = document.Render();
    RegDocument again;
    if (const auto error = again.Parse(written))
      Broken("the written file does not read back",
             error->message + " at line " + std::to_string(error->line) + "\n" + written);
    if (Dump(again.tree()) != expected)
      Broken("the written file reads back differently", expected + "----\n" + Dump(again.tree()) + "----\n" + written);
    if (again.Render() != written) Broken("the written file does not write itself again", written);
    // The whole registry in regedit's own form reads back the same too (a
    // form whose size grows with the square of the depth: shallow trees only).
    if (Depth(document.tree()) <= 64) {
      RegNode canonical = MakeEmptyRegistry();
      const std::string formatted = FormatRegFile(document.tree());
      if (ParseRegFile(formatted, canonical) || Dump(canonical) != expected)
        Broken("the registry's own form does not read back", formatted);
    }
    document = std::move(again);
  }
  return 0;
}
