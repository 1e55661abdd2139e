#pragma once
// The values of a table document's attributes, and its reference texts: a
// text with two or more ':' names a table, a column and a key
// ("ORDERS:ORDER_ID:17"). A text column keeps what follows the second ':',
// a date or time column the whole text, and a numeric column gets an
// identifier: the same for every occurrence of the same reference in one
// document, drawn from the sequence generator of the column or of the
// column its reference leads to. The identifier map of a document records
// which reference got which identifier.

#include <cstdint>
#include <string_view>

#include "store/column_value.h"
#include "store/hash_table.h"
#include "store/table_defn.h"

namespace kv {

constexpr std::uint32_t IDENTIFIER_MAP_BUCKETS = 50;

// The stored form of a column's text in a row of table into out (no value:
// the column stays NULL). Throws std::bad_alloc when the map cannot grow.
void ResolveColumnText(const TableDefn& table, const ColumnDefn& column, std::string_view text, HashTable& references,
                       TypedValueBuffer& out);

// The identifier the map holds for a reference text.
[[nodiscard]] bool GetMappedIdentifier(const HashTable& references, const char* text, std::int32_t& identifier);

}  // namespace kv
