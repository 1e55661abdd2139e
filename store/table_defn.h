#pragma once
// The definitions a data dictionary holds: tables with their columns in
// order, their primary key and their foreign keys. Every other part of the
// store looks tables and columns up here and keeps plain pointers into
// these records, which never change after loading and live until the
// dictionary frees them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/stored_value.h"
#include "store/vector.h"

namespace kv {

// Kinds of AllowedValues.
constexpr std::uint8_t ALLOWED_VALUES_LIST = 0;
constexpr std::uint8_t ALLOWED_VALUES_RANGE = 1;

struct AllowedValues {
  // A list: every value in document order. A range: the from and the to text.
  std::vector<std::string> values;
  std::uint8_t kind = ALLOWED_VALUES_LIST;
};

struct ColumnDefn {
  std::string name;
  std::uint8_t type = 0;  // TARN_SQL_* after the widening rule
  // The default value in the column's stored form (null: none).
  OwnedValue defaultValue;
  std::int32_t defaultLength = 0;
  std::uint8_t unique = 0;
  std::optional<std::string> generatorName;
  std::optional<std::string> description;
  std::int32_t maxSize = 0;
  std::uint8_t nullable = 1;
  std::unique_ptr<AllowedValues> allowedValues;

  StoredValue DefaultValue() const { return StoredValue{defaultValue.get(), defaultLength}; }
};

struct ForeignKeyDefn {
  std::string localColumn;
  std::string referenceColumn;
  std::string referenceTable;
  std::uint8_t onDeleteCascade = 0;
  std::uint8_t bidirectional = 0;
};

struct ConstraintDefn {
  // Primary-key column names in document order.
  std::vector<std::string> primaryKeys;
  // Null when the table has no foreign keys.
  std::unique_ptr<VectorOf<ForeignKeyDefn>> foreignKeys;

  [[nodiscard]] std::int32_t primaryKeyCount() const { return static_cast<std::int32_t>(primaryKeys.size()); }
};

struct TableDefn {
  std::string name;
  std::optional<std::string> description;
  // In document order: a column's index is its position here, and the
  // column count of every row of the table is their number.
  VectorOf<ColumnDefn> columns;
  // Always present once the table is loaded.
  std::unique_ptr<ConstraintDefn> constraints;

  [[nodiscard]] std::int32_t columnCount() const { return columns.Count(); }
};

}  // namespace kv
