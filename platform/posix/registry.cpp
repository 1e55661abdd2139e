// The registry functions over the emulated machine's registry store. An open
// key is a number standing for a resolved path and the view it was opened
// in; the tree it points into may be read again from the image at any call,
// so a handle never holds a node. Numbers are never reused, so a closed or
// forged handle is always recognised.

#include "platform/registry.h"
#include "platform/registry_backend.h"
#include "platform/registry_copy_out.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/last_error.h"
#include "platform/posix/machine.h"
#include "platform/posix/registry_store.h"
#include "platform/unicode.h"

namespace kv {
namespace {

using posix::KeyPath;
using posix::RegistryStore;
using posix::RegNode;
using Names = std::vector<std::u16string>;

constexpr std::uintptr_t kClassesRoot = 0x80000000u;
constexpr std::uintptr_t kDynData = 0x80000006u;

// A 32-bit process on 64-bit Windows sees the 32-bit view unless it asks otherwise.
bool Is32BitViewByDefault() { return posix::IsWow64Process(); }

struct OpenKey {
  KeyPath path;
  bool view32 = false;
};

// The hive a predefined root stands for; empty for any other handle.
std::u16string_view HiveOf(HKEY key) {
  const auto value = reinterpret_cast<std::uintptr_t>(key);
  if (value < kClassesRoot || value > kDynData) return {};
  static constexpr std::u16string_view hives[] = {u"HKEY_CLASSES_ROOT",
                                                  u"HKEY_CURRENT_USER",
                                                  u"HKEY_LOCAL_MACHINE",
                                                  u"HKEY_USERS",
                                                  u"",  // HKEY_PERFORMANCE_DATA is not kept
                                                  u"HKEY_CURRENT_CONFIG",
                                                  u"HKEY_DYN_DATA"};
  return hives[value - kClassesRoot];
}

class HandleTable {
 public:
  HKEY Add(OpenKey key) {
    std::lock_guard lock(mutex_);
    next_ += 4;
    if (next_ >= kClassesRoot && next_ <= kDynData) next_ = kDynData + 2;  // the predefined roots
    keys_.emplace(next_, std::move(key));
    return reinterpret_cast<HKEY>(next_);
  }
  std::optional<OpenKey> Find(HKEY key) {
    std::lock_guard lock(mutex_);
    const auto it = keys_.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == keys_.end()) return std::nullopt;
    return it->second;
  }
  bool Remove(HKEY key) {
    std::lock_guard lock(mutex_);
    return keys_.erase(reinterpret_cast<std::uintptr_t>(key)) == 1;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::uintptr_t, OpenKey> keys_;
  std::uintptr_t next_ = 0x1000;
};

HandleTable& Handles() {
  static HandleTable* const table = new HandleTable;  // outlives every thread
  return *table;
}

LONG Result(LONG code) {
  if (code != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(code));
  return code;
}

LONG KeyOf(HKEY key, OpenKey& out) {
  const std::u16string_view hive = HiveOf(key);
  if (!hive.empty()) {
    out = OpenKey{{std::u16string(hive)}, Is32BitViewByDefault()};
    return ERROR_SUCCESS;
  }
  auto found = Handles().Find(key);
  if (!found) return ERROR_INVALID_HANDLE;
  out = std::move(*found);
  return ERROR_SUCCESS;
}

// The view an access mask asks for. A 32-bit machine has one view.
LONG ViewOf(DWORD access, bool& view32) {
  view32 = false;
  if (!posix::Is64BitMachine()) return ERROR_SUCCESS;
  const DWORD flags = access & KEY_WOW64_RES;
  if (flags == KEY_WOW64_RES) return ERROR_INVALID_PARAMETER;
  view32 = flags == KEY_WOW64_32KEY || (flags == 0 && Is32BitViewByDefault());
  return ERROR_SUCCESS;
}

// Line breaks and NULs cannot be kept in registry.reg; no real name has them.
bool IsStorableName(std::u16string_view name) {
  return name.find_first_of(std::u16string_view(u"\0\r\n", 3)) == std::u16string_view::npos;
}

LONG SplitPath(std::u16string_view path, Names& names) {
  names.clear();
  while (!path.empty()) {
    const std::size_t slash = path.find(u'\\');
    const std::u16string_view name = path.substr(0, slash);
    if (!IsStorableName(name)) return ERROR_INVALID_PARAMETER;
    if (!name.empty()) names.emplace_back(name);
    path = slash == std::u16string_view::npos ? std::u16string_view{} : path.substr(slash + 1);
  }
  return ERROR_SUCCESS;
}

// Windows does not make a key name longer than 255 characters.
bool HasOverlongName(const Names& names) {
  for (const auto& name : names)
    if (name.size() > posix::kMaxKeyNameLength) return true;
  return false;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Stored UTF-16LE string data as the narrow functions hand it out: every
// unit converted, a terminator to a terminating 0 byte.
std::vector<BYTE> NarrowBytes(const std::vector<BYTE>& data) {
  const std::string text = Utf16ToUtf8(posix::Utf16LeUnits(data));
  return std::vector<BYTE>(text.begin(), text.end());
}

}  // namespace

namespace registry_backend {

LONG OpenOrCreate(HKEY key, std::u16string_view subKey, DWORD access, bool create, HKEY* result, DWORD* disposition) {
  if (result == nullptr) return Result(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  OpenKey start;
  bool view32 = false;
  Names names;
  LONG code = KeyOf(key, start);
  if (code == ERROR_SUCCESS) code = ViewOf(access, view32);
  if (code == ERROR_SUCCESS) code = SplitPath(subKey, names);
  if (code == ERROR_SUCCESS && create && HasOverlongName(names)) code = ERROR_INVALID_PARAMETER;
  if (code != ERROR_SUCCESS) return Result(code);

  auto& store = RegistryStore::Instance();
  posix::ViewPath reached;
  code = store.Read([&](const RegNode& registry) -> LONG {
    reached = posix::ResolvePath(registry, start.path, names, view32);
    return reached.code;
  });
  if (code == ERROR_FILE_NOT_FOUND && create) {
    // Another process may make the key meanwhile: the walk is made again on
    // the tree read under the image lock.
    code = store.Modify([&](RegNode& registry, bool& changed) -> LONG {
      reached = posix::CreatePath(registry, start.path, names, view32);
      changed = reached.created;
      return reached.code;
    });
  }
  if (code != ERROR_SUCCESS) return Result(code);
  *result = Handles().Add(OpenKey{std::move(reached.path), view32});
  if (disposition) *disposition = reached.created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG QueryValue(HKEY key, std::u16string_view name, bool narrow, DWORD* type, BYTE* data, DWORD* size) {
  if (data != nullptr && size == nullptr) return Result(ERROR_INVALID_PARAMETER);
  OpenKey open;
  LONG code = KeyOf(key, open);
  if (code != ERROR_SUCCESS) return Result(code);
  posix::RegValue value;
  code = RegistryStore::Instance().Read([&](const RegNode& registry) -> LONG {
    const RegNode* node = posix::FindKey(registry, open.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    const posix::RegValue* found = node->FindValue(name);
    if (found == nullptr) return ERROR_FILE_NOT_FOUND;
    value = *found;
    return ERROR_SUCCESS;
  });
  if (code != ERROR_SUCCESS) return Result(code);

  const std::vector<BYTE> bytes = narrow && IsStringType(value.type) ? NarrowBytes(value.data) : value.data;
  if (type) *type = value.type;
  return Result(registry_backend::CopyValueOut(bytes, data, size));
}

// Runs a change on the key a handle refers to.
}  // namespace registry_backend

namespace {

// The bytes a value is stored as, or why it cannot be stored.
LONG StoredBytes(std::u16string_view name, DWORD type, const BYTE* data, DWORD size, bool narrow,
                 std::vector<BYTE>& bytes) {
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  if (!IsStorableName(name) || name.size() > posix::kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  bytes.assign(data, data + size);
  if (narrow && IsStringType(type)) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    bytes = posix::Utf16LeBytes(Utf8ToUtf16(text));
  }
  return ERROR_SUCCESS;
}

LONG ChangeKey(HKEY key, const std::function<LONG(RegNode& node, bool& changed)>& change) {
  OpenKey open;
  const LONG code = KeyOf(key, open);
  if (code != ERROR_SUCCESS) return Result(code);
  return Result(RegistryStore::Instance().Modify([&](RegNode& registry, bool& changed) -> LONG {
    RegNode* node = posix::FindKey(registry, open.path);
    return node == nullptr ? ERROR_KEY_DELETED : change(*node, changed);
  }));
}

}  // namespace

namespace registry_backend {

LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size, bool narrow) {
  std::vector<BYTE> bytes;
  if (const LONG code = StoredBytes(name, type, data, size, narrow, bytes)) return Result(code);
  return ChangeKey(key, [&](RegNode& node, bool& changed) -> LONG {
    changed = node.SetValue(name, type, std::move(bytes));
    return ERROR_SUCCESS;
  });
}

}  // namespace registry_backend

namespace {

LONG DeleteValue(HKEY key, std::u16string_view name) {
  return ChangeKey(key, [&](RegNode& node, bool& changed) -> LONG {
    changed = node.RemoveValue(name);
    return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

}  // namespace

LONG RegCloseKey(HKEY key) {
  if (!HiveOf(key).empty()) return ERROR_SUCCESS;
  return Result(Handles().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
}

LONG RegDeleteValueW(HKEY key, std::u16string_view name) { return DeleteValue(key, name); }

LONG RegSetValuesA(HKEY key, std::span<const RegValueChange> changes) {
  struct Stored {
    std::u16string name;
    DWORD type;
    std::vector<BYTE> bytes;
    bool remove;
  };
  // Everything is checked before the image is touched: a bad value leaves
  // the others unwritten as well.
  std::vector<Stored> stored;
  stored.reserve(changes.size());
  for (const RegValueChange& change : changes) {
    Stored value{Utf8ToUtf16(change.name), change.type, {}, change.remove};
    if (change.remove) {
      if (!IsStorableName(value.name)) return Result(ERROR_INVALID_PARAMETER);
    } else if (const LONG code = StoredBytes(value.name, change.type, change.data, change.size, true, value.bytes)) {
      return Result(code);
    }
    stored.push_back(std::move(value));
  }
  // One change of the tree, hence one rewrite of the image for all of them.
  return ChangeKey(key, [&](RegNode& node, bool& changed) -> LONG {
    for (const Stored& value : stored)
      if (value.remove ? node.RemoveValue(value.name) : node.SetValue(value.name, value.type, value.bytes))
        changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyA(HKEY key, std::string_view subKey) {
  OpenKey start;
  Names names;
  LONG code = KeyOf(key, start);
  if (code == ERROR_SUCCESS) code = SplitPath(Utf8ToUtf16(subKey), names);
  if (code != ERROR_SUCCESS) return Result(code);
  const bool view32 = Is32BitViewByDefault();  // RegDeleteKey has no view flags
  return Result(RegistryStore::Instance().Modify([&](RegNode& registry, bool& changed) -> LONG {
    const posix::ViewPath target = posix::ResolvePath(registry, start.path, names, view32);
    if (target.code != ERROR_SUCCESS) return target.code;
    if (target.path.size() < 2) return ERROR_ACCESS_DENIED;  // a hive stays
    if (!posix::FindKey(registry, target.path)->children().empty()) return ERROR_ACCESS_DENIED;
    const KeyPath parent(target.path.begin(), target.path.end() - 1);
    changed = posix::FindKey(registry, parent)->RemoveChild(target.path.back());
    return ERROR_SUCCESS;
  }));
}

LONG RegEnumKeyA(HKEY key, DWORD index, std::string* name, DWORD nameCapacity) {
  if (name == nullptr) return Result(ERROR_INVALID_PARAMETER);
  OpenKey open;
  LONG code = KeyOf(key, open);
  if (code != ERROR_SUCCESS) return Result(code);
  std::u16string found;
  code = RegistryStore::Instance().Read([&](const RegNode& registry) -> LONG {
    const RegNode* node = posix::FindKey(registry, open.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    // Windows keeps subkeys sorted by their upper-cased names and lists them
    // in that order, whatever order they were made in.
    std::vector<const std::u16string*> names;
    for (const auto& child : node->children()) {
      // The 32-bit view does not show the node it is made of.
      if (open.view32 && EqualsNoCase(std::u16string_view(child->name()), posix::kWow6432Node)) continue;
      names.push_back(&child->name());
    }
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    const auto upper = [](const std::u16string& name) {
      std::u16string result(name);
      for (char16_t& c : result) c = ToUpperChar(c);
      return result;
    };
    std::stable_sort(names.begin(), names.end(),
                     [&](const std::u16string* a, const std::u16string* b) { return upper(*a) < upper(*b); });
    found = *names[index];
    return ERROR_SUCCESS;
  });
  if (code != ERROR_SUCCESS) return Result(code);
  std::string text = Utf16ToUtf8(found);
  if (text.size() + 1 > nameCapacity) return Result(ERROR_MORE_DATA);
  *name = std::move(text);
  return ERROR_SUCCESS;
}

}  // namespace kv
