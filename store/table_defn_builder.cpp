// The second pass over a dictionary file: a table's tag tree becomes its
// TableDefn. Names of tags are compared exactly, as the format writes them.

#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "base/decimal_text.h"
#include "base/log_writer.h"
#include "store/column_types.h"
#include "store/sql_identifier.h"
#include "store/typed_value.h"
#include "store/value_text.h"
#include "store/xml_tag_info.h"

namespace kv {
namespace {

constexpr const char* kCascade = "ON-DELETE-CASCADE";

const XmlTagInfo* ChildAt(const XmlTagInfo& node, std::size_t index, const char* name) {
  if (index >= node.children.size() || node.children[index].tagName != name) return nullptr;
  return &node.children[index];
}

const XmlTagInfo* FindChild(const XmlTagInfo& node, const char* name) {
  for (const XmlTagInfo& child : node.children) {
    if (child.tagName == name) return &child;
  }
  return nullptr;
}

// The first text of a record, the empty text for a record without one.
std::string TextOf(const XmlTagInfo* node) {
  const std::string* text = node ? node->Text() : nullptr;
  return text ? *text : std::string();
}

// The column's properties, or null (logged) when the column, and with it the
// table, is to be left out.
std::unique_ptr<ColumnDefn> BuildColumn(const XmlTagInfo& node, const std::string& tableName) {
  const std::string* name = node.Attribute("name");
  if (!name) {
    LogError("\nname attribute missing in a column of table %s\n", tableName.c_str());
    return nullptr;
  }
  auto column = std::make_unique<ColumnDefn>();
  column->name = *name;
  std::optional<std::string> typeWord;
  std::optional<std::string> defaultText;
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    const XmlTagInfo& property = node.children[i];
    const std::string& tag = property.tagName;
    const std::string* text = property.Text();
    if (tag == "data-type") {
      typeWord = TextOf(&property);
    } else if (tag == "nullable") {
      column->nullable = !AsciiEqualsNoCase(text ? *text : std::string_view(), "true") ? 0 : 1;
    } else if (tag == "max-size") {
      column->maxSize = StringToInt(text ? text->c_str() : "");
    } else if (tag == "description") {
      column->description = text ? *text : std::string();
    } else if (tag == "default-value") {
      defaultText = TextOf(&property);
    } else if (tag == "generator-name") {
      if (text && !text->empty()) column->generatorName = *text;
    } else if (tag == "unique") {
      column->unique = text && *text == "true" ? 1 : 0;
    } else if (tag == "value" || tag == "from") {
      const XmlTagInfo* to = tag == "from" ? ChildAt(node, i + 1, "to") : nullptr;
      if (tag == "from" && !to) {
        LogError("In the allowed values attribute, 'to' tag is missing.\n");
        return nullptr;
      }
      try {
        auto allowed = std::make_unique<AllowedValues>();
        allowed->kind = to ? ALLOWED_VALUES_RANGE : ALLOWED_VALUES_LIST;
        allowed->values = to ? std::vector<std::string>{TextOf(&property), TextOf(to)} : property.values;
        column->allowedValues = std::move(allowed);
      } catch (const std::bad_alloc&) {
        LogError("Cannot copy allowed values.\n");
        throw;
      }
    }
  }
  column->type = WidenColumnType(GetColumnTypeCode(typeWord ? typeWord->c_str() : nullptr), column->maxSize);
  if (defaultText) {
    std::int32_t length = static_cast<std::int32_t>(defaultText->size());
    column->defaultValue = ConvertToTypedValue(defaultText->c_str(), length, column->type);
    column->defaultLength = column->defaultValue ? length : 0;
  }
  return column;
}

void BuildForeignKeys(const XmlTagInfo& node, ConstraintDefn& constraints) {
  auto entries = std::make_unique<VectorOf<ForeignKeyDefn>>();
  for (const XmlTagInfo& foreignKey : node.children) {
    const XmlTagInfo* columns = ChildAt(foreignKey, 0, "fk-columns");
    if (!columns) {
      LogDebug("fk-columns tag not found \n");
      continue;
    }
    const XmlTagInfo* rules = ChildAt(foreignKey, 1, "fk-constraints");
    const std::string* bidirectional = foreignKey.Attribute("isbidirectional");
    const std::string* referenceTable = foreignKey.Attribute("reference-table-name");
    for (const XmlTagInfo& column : columns->children) {
      auto entry = std::make_unique<ForeignKeyDefn>();
      entry->localColumn = TextOf(FindChild(column, "fk-local-column"));
      entry->referenceColumn = TextOf(FindChild(column, "fk-reference-column"));
      entry->referenceTable = referenceTable ? *referenceTable : std::string();
      entry->onDeleteCascade = rules && TextOf(rules) == kCascade ? 1 : 0;
      entry->bidirectional = bidirectional && *bidirectional == "true" ? 1 : 0;
      if (!entries->Append(std::move(entry))) throw std::bad_alloc();
    }
  }
  if (!entries->Empty()) constraints.foreignKeys = std::move(entries);
}

}  // namespace

const std::string* XmlTagInfo::Attribute(std::string_view name) const {
  for (std::size_t i = 0; i < attributeNames.size() && i < attributeValues.size(); ++i) {
    if (attributeNames[i] == name) return &attributeValues[i];
  }
  return nullptr;
}

std::unique_ptr<TableDefn> BuildTableDefn(const XmlTagInfo& table) {
  try {
    const std::string* name = table.Attribute("name");
    if (!name) {
      LogError("\nname attribute missing in a table\n");
      return nullptr;
    }
    auto definition = std::make_unique<TableDefn>();
    definition->name = *name;
    std::size_t next = 0;
    if (const XmlTagInfo* description = ChildAt(table, next, "description")) {
      if (description->Text()) definition->description = *description->Text();
      ++next;
    }
    const XmlTagInfo* columns = ChildAt(table, next++, "columns");
    if (!columns || columns->children.empty()) {
      LogError("\nNo columns in table %s\n", name->c_str());
      return nullptr;
    }
    for (const XmlTagInfo& node : columns->children) {
      std::unique_ptr<ColumnDefn> column = BuildColumn(node, *name);
      if (!column) return nullptr;
      if (!definition->columns.Append(std::move(column))) throw std::bad_alloc();
    }
    definition->constraints = std::make_unique<ConstraintDefn>();
    if (const XmlTagInfo* primaryKey = ChildAt(table, next, "primary-key")) {
      for (const XmlTagInfo& key : primaryKey->children) definition->constraints->primaryKeys.push_back(TextOf(&key));
      ++next;
    }
    if (const XmlTagInfo* foreignKeys = ChildAt(table, next, "foreign-keys"))
      BuildForeignKeys(*foreignKeys, *definition->constraints);
    if (const std::string* unfit = FirstUnfitName(*definition)) {
      LogError("\nName %s in table %s is not a plain SQL identifier: the table is left out\n", unfit->c_str(),
               name->c_str());
      return nullptr;
    }
    return definition;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

}  // namespace kv
