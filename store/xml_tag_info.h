#pragma once
// The first pass of reading a dictionary file: one `table` element as a
// small tree of tag records, which the second pass turns into a TableDefn.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/table_defn.h"

namespace kv {

struct XmlTagInfo {
  std::string tagName;
  // Parallel lists, in the order the reader asks for them.
  std::vector<std::string> attributeNames;
  std::vector<std::string> attributeValues;
  // Element texts (a `value` record holds every value of a list).
  std::vector<std::string> values;
  std::vector<XmlTagInfo> children;

  // The attribute's value, or null.
  const std::string* Attribute(std::string_view name) const;
  // The first text, or null.
  const std::string* Text() const { return values.empty() ? nullptr : &values.front(); }
};

// The definition a table's tag tree describes, or null (logged) when the
// table is to be left out.
std::unique_ptr<TableDefn> BuildTableDefn(const XmlTagInfo& table);

}  // namespace kv
