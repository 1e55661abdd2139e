// WMI of the emulated machine: machine.json "wmi" holds the namespaces, each
// a map of class names to lists of objects. Property values map to variants
// by their JSON kind (integer VT_I4, string VT_BSTR, boolean VT_BOOL, number
// VT_R8, null VT_NULL, list of strings VT_ARRAY|VT_BSTR); an object
// {"vt": N, "value": ...} gives a value of any other variant type.
// "available": false makes the connection fail as with the service stopped;
// "com_init", "locator" and "proxy_blanket" inject a failing HRESULT into
// that step.

#include "platform/wmi.h"

#include <cctype>

#include "platform/posix/machine.h"
#include "platform/unicode.h"

namespace kv {
namespace {

using nlohmann::json;

HRESULT InjectedFailure(const char* step) {
  const auto& value = posix::MachineValue("/wmi");
  if (!value.is_object() || !value.contains(step) || !value[step].is_number_integer()) return S_OK;
  return static_cast<HRESULT>(value[step].get<long long>());
}

// The member of an object whose name equals name without regard to case.
const json* FindNoCase(const json& object, std::string_view name) {
  if (!object.is_object()) return nullptr;
  for (auto it = object.begin(); it != object.end(); ++it)
    if (EqualsNoCase(std::string_view(it.key()), name)) return &it.value();
  return nullptr;
}

std::optional<std::u16string> TextOf(const json& value) {
  if (value.is_string()) return Utf8ToUtf16(value.get<std::string>());
  return std::nullopt;
}

Variant ToVariant(const json& value) {
  Variant v;
  if (value.is_object() && value.contains("vt")) {
    v.vt = static_cast<VARTYPE>(value["vt"].get<int>());
    const json& inner = value.contains("value") ? value["value"] : json();
    if (inner.is_number_integer()) v.integer = inner.get<long long>();
    if (inner.is_number()) v.real = inner.get<double>();
    if (inner.is_boolean()) v.integer = inner.get<bool>() ? -1 : 0;
    if (inner.is_string()) v.text = Utf8ToUtf16(inner.get<std::string>());
    if (inner.is_array()) {
      v.arrayLength = inner.size();
      for (const auto& e : inner) v.array.push_back(TextOf(e));
    }
    return v;
  }
  if (value.is_number_integer()) {
    v.vt = VT_I4;
    v.integer = static_cast<std::int32_t>(value.get<long long>());
  } else if (value.is_number()) {
    v.vt = VT_R8;
    v.real = value.get<double>();
  } else if (value.is_boolean()) {
    v.vt = VT_BOOL;
    v.integer = value.get<bool>() ? -1 : 0;
  } else if (value.is_string()) {
    v.vt = VT_BSTR;
    v.text = Utf8ToUtf16(value.get<std::string>());
  } else if (value.is_array()) {
    v.vt = VT_ARRAY | VT_BSTR;
    v.arrayLength = value.size();
    for (const auto& e : value) v.array.push_back(TextOf(e));
  } else {
    v.vt = VT_NULL;
  }
  return v;
}

class JsonObject : public WbemObject {
 public:
  explicit JsonObject(json object) : object_(std::move(object)) {}
  HRESULT Get(std::u16string_view name, Variant* value) const override {
    const json* member = FindNoCase(object_, Utf16ToUtf8(name));
    if (!member) return WBEM_E_NOT_FOUND;
    if (value) *value = ToVariant(*member);
    return S_OK;
  }

 private:
  json object_;
};

class JsonEnumerator : public WbemEnumerator {
 public:
  explicit JsonEnumerator(json objects) : objects_(std::move(objects)) {}
  HRESULT Next(long, std::unique_ptr<WbemObject>* object) override {
    if (next_ >= objects_.size()) return WBEM_S_FALSE;
    if (object) *object = std::make_unique<JsonObject>(objects_[next_]);
    ++next_;
    return S_OK;
  }

 private:
  json objects_;
  std::size_t next_ = 0;
};

// The class name of "SELECT * FROM Class", or empty when the query has
// another form.
std::string ClassOfQuery(const std::string& query) {
  std::vector<std::string> words;
  std::string word;
  for (char c : query + " ") {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (words.size() != 4 || !EqualsNoCase(std::string_view(words[0]), "SELECT") || words[1] != "*" ||
      !EqualsNoCase(std::string_view(words[2]), "FROM"))
    return {};
  return words[3];
}

class JsonServices : public WbemServices {
 public:
  explicit JsonServices(json classes) : classes_(std::move(classes)) {}
  HRESULT SetProxyBlanket(DWORD, DWORD, DWORD, DWORD, DWORD) override { return InjectedFailure("proxy_blanket"); }
  HRESULT ExecQuery(std::u16string_view language, std::u16string_view query, long,
                    std::unique_ptr<WbemEnumerator>* result) override {
    if (!EqualsNoCase(language, u"WQL")) return WBEM_E_INVALID_QUERY_TYPE;
    const std::string className = ClassOfQuery(Utf16ToUtf8(query));
    if (className.empty()) return WBEM_E_INVALID_QUERY;
    const json* objects = FindNoCase(classes_, className);
    if (!objects) return WBEM_E_INVALID_CLASS;
    if (result) *result = std::make_unique<JsonEnumerator>(objects->is_array() ? *objects : json::array());
    return S_OK;
  }

 private:
  json classes_;
};

class JsonLocator : public WbemLocator {
 public:
  HRESULT ConnectServer(std::u16string_view ns, std::unique_ptr<WbemServices>* services) override {
    const auto& wmi = posix::MachineValue("/wmi");
    if (!wmi.is_object() || wmi.value("available", true) == false) return HRESULT_RPC_S_SERVER_UNAVAILABLE;
    const json* spaces = FindNoCase(wmi, "namespaces");
    const json* classes = spaces ? FindNoCase(*spaces, Utf16ToUtf8(ns)) : nullptr;
    if (!classes) return WBEM_E_INVALID_NAMESPACE;
    if (services) *services = std::make_unique<JsonServices>(*classes);
    return S_OK;
  }
};

}  // namespace

HRESULT CoInitializeEx(DWORD) { return InjectedFailure("com_init"); }

void CoUninitialize() {}

HRESULT CreateWbemLocator(std::unique_ptr<WbemLocator>* locator) {
  if (const HRESULT hr = InjectedFailure("locator"); hr != S_OK) return hr;
  if (locator) *locator = std::make_unique<JsonLocator>();
  return S_OK;
}

}  // namespace kv
