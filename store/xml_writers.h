#pragma once
// The store's tables written out as XML table documents, the layout the
// table reader reads: a declaration, a root element, one empty element per
// row whose attributes are the column values, in row and column order. A
// NULL value writes no attribute; a name without table data writes no row.
// Values are escaped and a text that the reader would take for a reference
// is written as one that gives the text back, so that a document read into
// another store makes the same tables. A table or column name that cannot
// be an XML name fails the document.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "store/table_defn.h"

namespace kv {

// Writes the named tables to "<prefix><root>.xml" ("<root>.xml" without a
// prefix, which must end with a separator); false when the file cannot be
// opened or written.
[[nodiscard]] bool ConvertDOtoXML(std::span<const char* const> tableNames, const char* rootName, const char* prefix);
// Every table of the dictionary in its order. In reference mode (1) the
// values of generator columns and of foreign-key columns are written as
// reference texts ("TABLE:COLUMN:value") that the reader turns into fresh
// identifiers.
[[nodiscard]] bool ConvertTablesToXML(const char* rootName, const char* prefix, std::uint8_t referenceMode);
// The named tables as a fresh text, leaving out values equal to their
// column's default; null when memory runs out or a name is not an XML name.
std::optional<std::string> ConvertDOtoXMLBuffer(std::span<const char* const> tableNames, const char* rootName);

// The definition of exactly that name (case-sensitive), or null (logged).
const TableDefn* GetTableDefnByTableName(const char* tableName);

}  // namespace kv
