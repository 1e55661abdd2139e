#include "platform/posix/machine_json.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/unicode.h"

namespace kv::posix {
namespace {

using nlohmann::json;

std::string PointerToken(std::string_view name) {
  std::string token;
  for (char c : name) {
    if (c == '~')
      token += "~0";
    else if (c == '/')
      token += "~1";
    else
      token += c;
  }
  return token;
}

std::size_t LineAt(std::string_view text, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

// Builds the document from the parser's events without recursion, refuses
// nesting beyond the bound, and knows at every moment which member it is in,
// so that an error names it.
class DocumentBuilder {
 public:
  explicit DocumentBuilder(json& root) : root_(root) {}

  bool null() { return Put(json(nullptr)); }
  bool boolean(bool value) { return Put(json(value)); }
  bool number_integer(json::number_integer_t value) { return Put(json(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return Put(json(value)); }
  bool number_float(json::number_float_t value, const json::string_t&) { return Put(json(value)); }
  bool string(json::string_t& value) { return Put(json(std::move(value))); }
  bool binary(json::binary_t& value) { return Put(json::binary(std::move(value))); }
  bool start_object(std::size_t) { return Open(json::object()); }
  bool start_array(std::size_t) { return Open(json::array()); }
  bool key(json::string_t& name) {
    frames_.back().key = std::move(name);
    return true;
  }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool parse_error(std::size_t position, const std::string&, const json::exception& error) {
    error_ = MachineJsonError{0, CurrentMember(), error.what()};
    offset_ = position;
    return false;
  }

  // The fault that stopped the parse, with its line in text.
  std::optional<MachineJsonError> error(std::string_view text) const {
    std::optional<MachineJsonError> error = error_;
    if (error && offset_) error->line = LineAt(text, *offset_);
    return error;
  }

 private:
  struct Frame {
    json* container;
    std::string key;  // objects: the member being read
  };

  json* Place(json value) {
    if (frames_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Frame& top = frames_.back();
    if (top.container->is_array()) {
      top.container->push_back(std::move(value));
      return &top.container->back();
    }
    json& slot = (*top.container)[top.key];
    slot = std::move(value);
    return &slot;
  }

  bool Put(json value) {
    Place(std::move(value));
    return true;
  }

  bool Open(json container) {
    if (frames_.size() >= kMaxMachineJsonDepth) {
      error_ =
          MachineJsonError{0, CurrentMember(),
                           "objects and arrays nest deeper than " + std::to_string(kMaxMachineJsonDepth) + " levels"};
      return false;
    }
    json* placed = Place(std::move(container));
    frames_.push_back(Frame{placed, {}});
    return true;
  }

  bool Close() {
    frames_.pop_back();
    return true;
  }

  // The member being read: an open array's last element is the open child,
  // except in the innermost array, whose next element is being read.
  std::string CurrentMember() const {
    std::string pointer;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const json& container = *frames_[i].container;
      if (container.is_array()) {
        const std::size_t size = container.size();
        const bool innermost = i + 1 == frames_.size();
        pointer += "/" + std::to_string(innermost || size == 0 ? size : size - 1);
      } else {
        pointer += "/" + PointerToken(frames_[i].key);
      }
    }
    return pointer;
  }

  json& root_;
  std::vector<Frame> frames_;
  std::optional<MachineJsonError> error_;
  std::optional<std::size_t> offset_;  // where the text went wrong, when it did
};

// ------------------------------------------------------------ the members

std::string Describe(const json& value) {
  if (value.is_null()) return "null";
  if (value.is_boolean()) return "a Boolean";
  if (value.is_string()) return "a string";
  if (value.is_array()) return "an array";
  if (value.is_object()) return "an object";
  if (value.is_number_float()) return "the number " + value.dump();
  return "a number";
}

constexpr long long kDwordMax = 0xFFFFFFFFLL;
constexpr long long kWordMax = 0xFFFF;
constexpr long long kByteMax = 0xFF;

// Walks the members the machine reads; stops at the first fault.
class MemberChecker {
 public:
  std::optional<MachineJsonError> Run(const json& info) {
    if (!info.is_object()) return MachineJsonError{1, "", "the document is not a JSON object"};
    Optional(info, "", "os", [this](const json& v, const std::string& at) { return Os(v, at); });
    Optional(info, "", "identity", [this](const json& v, const std::string& at) { return Identity(v, at); });
    Optional(info, "", "adapters", [this](const json& v, const std::string& at) {
      return ArrayOf(v, at, [this](const json& e, const std::string& in) { return Adapter(e, in); });
    });
    Optional(info, "", "environment", [this](const json& v, const std::string& at) {
      return Object(v, at) && EachMember(v, at, [this](const json& e, const std::string& in) { return String(e, in); });
    });
    Optional(info, "", "cwd", [this](const json& v, const std::string& at) { return Directory(v, at); });
    Optional(info, "", "time_zone_bias",
             [this](const json& v, const std::string& at) { return Integer(v, at, -24 * 60, 24 * 60); });
    Optional(info, "", "wmi", [this](const json& v, const std::string& at) { return Wmi(v, at); });
    Optional(info, "", "defender", [this](const json& v, const std::string& at) {
      return Object(v, at) && Optional(v, at, "hresult", Bind(&MemberChecker::FailureCode)) &&
             Optional(v, at, "enabled",
                      [this](const json& e, const std::string& in) { return Integer(e, in, INT32_MIN, INT32_MAX); });
    });
    Optional(info, "", "crypto", [this](const json& v, const std::string& at) { return Crypto(v, at); });
    Optional(info, "", "services", [this](const json& v, const std::string& at) {
      return ArrayOf(v, at, [this](const json& e, const std::string& in) { return String(e, in); });
    });
    Optional(info, "", "disk", [this](const json& v, const std::string& at) {
      return Object(v, at) && Optional(v, at, "write_faults", [this](const json& list, const std::string& in) {
               return ArrayOf(list, in, Bind(&MemberChecker::WriteFault));
             });
    });
    return error_;
  }

 private:
  using Check = std::function<bool(const json&, const std::string&)>;

  Check Bind(bool (MemberChecker::*check)(const json&, const std::string&)) {
    return [this, check](const json& v, const std::string& at) { return (this->*check)(v, at); };
  }

  bool Fault(const std::string& at, std::string message) {
    if (!error_) error_ = MachineJsonError{0, at, std::move(message)};
    return false;
  }

  // A member that may be absent; when present it must pass check.
  bool Optional(const json& object, const std::string& at, const char* name, const Check& check) {
    if (error_) return false;
    const auto it = object.find(name);
    return it == object.end() || check(*it, at + "/" + PointerToken(name));
  }

  bool Expect(bool ok, const json& value, const std::string& at, const char* what) {
    return ok || Fault(at, std::string(what) + " is expected, not " + Describe(value));
  }
  bool Object(const json& v, const std::string& at) { return Expect(v.is_object(), v, at, "an object"); }
  bool String(const json& v, const std::string& at) { return Expect(v.is_string(), v, at, "a string"); }
  bool Boolean(const json& v, const std::string& at) { return Expect(v.is_boolean(), v, at, "a Boolean"); }

  bool Integer(const json& v, const std::string& at, long long min, long long max) {
    if (!Expect(v.is_number_integer(), v, at, "an integer")) return false;
    const bool inRange = v.is_number_unsigned() ? v.get<unsigned long long>() <= static_cast<unsigned long long>(max)
                                                : v.get<long long>() >= min && v.get<long long>() <= max;
    return inRange ||
           Fault(at, v.dump() + " is out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")");
  }

  // A 32-bit code a step fails with, written signed or unsigned: 0 (the step
  // succeeds) or a failure, whose top bit is set. A positive code would be a
  // success that still hands nothing back.
  bool FailureCode(const json& v, const std::string& at) {
    if (!Integer(v, at, INT32_MIN, kDwordMax)) return false;
    const auto code = static_cast<std::uint32_t>(v.get<long long>());
    return code == 0 || (code & 0x80000000u) != 0 ||
           Fault(at, v.dump() + " is not a failing HRESULT (negative, or 0 for success)");
  }

  bool ArrayOf(const json& v, const std::string& at, const Check& element) {
    if (!Expect(v.is_array(), v, at, "an array")) return false;
    for (std::size_t i = 0; i < v.size(); ++i)
      if (!element(v[i], at + "/" + std::to_string(i))) return false;
    return true;
  }

  bool EachMember(const json& v, const std::string& at, const Check& member) {
    for (auto it = v.begin(); it != v.end(); ++it)
      if (!member(it.value(), at + "/" + PointerToken(it.key()))) return false;
    return true;
  }

  bool Integers(const json& object, const std::string& at, std::initializer_list<const char*> names, long long max) {
    for (const char* name : names)
      if (!Optional(object, at, name,
                    [this, max](const json& v, const std::string& in) { return Integer(v, in, 0, max); }))
        return false;
    return true;
  }

  bool Strings(const json& object, const std::string& at, std::initializer_list<const char*> names) {
    for (const char* name : names)
      if (!Optional(object, at, name, Bind(&MemberChecker::String))) return false;
    return true;
  }

  // A write fault: the file it is for, ENOSPC or EIO, the bytes before it.
  bool WriteFault(const json& v, const std::string& at) {
    if (!Object(v, at) || !Optional(v, at, "file", Bind(&MemberChecker::String)) ||
        !Integers(v, at, {"after"}, INT64_MAX))
      return false;
    return Optional(v, at, "error", [this](const json& e, const std::string& in) {
      return String(e, in) && (e == "ENOSPC" || e == "EIO" || Fault(in, "ENOSPC or EIO is expected"));
    });
  }

  bool Os(const json& v, const std::string& at) {
    return Object(v, at) && Integers(v, at, {"major", "minor", "build", "platform_id", "product_info"}, kDwordMax) &&
           Integers(v, at, {"suite_mask", "sp_major", "sp_minor", "architecture"}, kWordMax) &&
           Integers(v, at, {"product_type"}, kByteMax) && Strings(v, at, {"service_pack"}) &&
           Optional(v, at, "wow64", Bind(&MemberChecker::Boolean)) &&
           Optional(v, at, "extended_record", Bind(&MemberChecker::Boolean));
  }

  bool JoinStatus(const json& v, const std::string& at) {
    if (v.is_number_integer()) return Integer(v, at, 0, kDwordMax);
    if (!Expect(v.is_string(), v, at, "a join status (a string or an integer)")) return false;
    for (const char* name : {"unknown", "unjoined", "workgroup", "domain"})
      if (EqualsNoCase(std::string_view(name), v.get_ref<const std::string&>())) return true;
    return Fault(at, v.dump() + " is not one of \"unknown\", \"unjoined\", \"workgroup\", \"domain\"");
  }

  bool Identity(const json& v, const std::string& at) {
    return Object(v, at) && Strings(v, at, {"computer_name", "join_name"}) &&
           Optional(v, at, "join_status", Bind(&MemberChecker::JoinStatus)) &&
           Optional(v, at, "domain_controller", [this](const json& dc, const std::string& in) {
             return Object(dc, in) &&
                    Strings(dc, in, {"name", "address", "domain", "forest", "dc_site", "client_site"});
           });
  }

  bool Adapter(const json& v, const std::string& at) {
    return Object(v, at) && Integers(v, at, {"index"}, kDwordMax) && Strings(v, at, {"mac"}) &&
           Optional(v, at, "addresses", [this](const json& list, const std::string& in) {
             return ArrayOf(list, in, [this](const json& address, const std::string& where) {
               return Object(address, where) && Strings(address, where, {"ip", "mask"}) &&
                      Integers(address, where, {"context"}, kDwordMax);
             });
           });
  }

  // Where the process stands: a path with its drive, which relative paths
  // are resolved against.
  bool Directory(const json& v, const std::string& at) {
    if (!String(v, at)) return false;
    const auto& text = v.get_ref<const std::string&>();
    const bool drive = text.size() >= 3 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                       text[1] == ':' && (text[2] == '\\' || text[2] == '/');
    return drive || Fault(at, v.dump() + " is not a directory with its drive (\"C:\\\\...\")");
  }

  // A property value of a WMI object: any JSON value; an object with "vt"
  // names its variant type.
  bool Property(const json& v, const std::string& at) {
    if (!v.is_object() || !v.contains("vt")) return true;
    return Integer(v["vt"], at + "/vt", 0, kWordMax);
  }

  bool Wmi(const json& v, const std::string& at) {
    return Object(v, at) && Optional(v, at, "available", Bind(&MemberChecker::Boolean)) &&
           Optional(v, at, "com_init", Bind(&MemberChecker::FailureCode)) &&
           Optional(v, at, "locator", Bind(&MemberChecker::FailureCode)) &&
           Optional(v, at, "proxy_blanket", Bind(&MemberChecker::FailureCode)) &&
           Optional(v, at, "namespaces", [this](const json& spaces, const std::string& in) {
             return Object(spaces, in) && EachMember(spaces, in, [this](const json& classes, const std::string& ns) {
                      return Object(classes, ns) &&
                             EachMember(classes, ns, [this](const json& list, const std::string& c) {
                               return ArrayOf(list, c, [this](const json& object, const std::string& o) {
                                 return Object(object, o) && EachMember(object, o, Bind(&MemberChecker::Property));
                               });
                             });
                    });
           });
  }

  bool Crypto(const json& v, const std::string& at) {
    return Object(v, at) &&
           Optional(v, at, "error",
                    [this](const json& e, const std::string& in) {
                      return Integer(e, in, INT32_MIN, kDwordMax) &&
                             (e.get<long long>() != 0 || Fault(in, "0 is not an error code"));
                    }) &&
           Optional(v, at, "container", Bind(&MemberChecker::Boolean)) &&
           Optional(v, at, "keys", [this](const json& keys, const std::string& in) {
             return ArrayOf(keys, in, [this](const json& key, const std::string& k) {
               return String(key, k) && (key == "signature" || key == "exchange" ||
                                         Fault(k, key.dump() + " is not a key pair (\"signature\" or \"exchange\")"));
             });
           });
  }

  std::optional<MachineJsonError> error_;
};

}  // namespace

std::optional<MachineJsonError> ParseMachineJson(std::string_view text, json& info) {
  json document;
  DocumentBuilder builder(document);
  json::sax_parse(text.begin(), text.end(), &builder);
  std::optional<MachineJsonError> error = builder.error(text);
  if (!error) error = CheckMachineJson(document);
  info = error ? json::object() : std::move(document);
  return error;
}

std::optional<MachineJsonError> CheckMachineJson(const json& info) { return MemberChecker().Run(info); }

}  // namespace kv::posix
