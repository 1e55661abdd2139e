#pragma once
// How cfennel prints rows, in the modes the shells offer: tab-separated
// (escaped, a null as \N, as PostgreSQL's COPY writes it), CSV (RFC 4180, a
// null as an empty field and an empty text as ""), JSON (one array of
// objects with typed values and null) and an aligned table (a null as an
// empty cell). No mode leaves a trailing separator.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/stored_value.h"

namespace kv {

enum class OutputMode { kTsv, kCsv, kJson, kTable };

// The mode a word names ("tsv", "csv", "json", "table"), or none.
std::optional<OutputMode> OutputModeNamed(std::string_view word);
std::string_view OutputModeName(OutputMode mode);

// Prints one set of rows: the columns first, then each row; the table mode
// keeps the rows until Finish, to measure its columns.
class RowPrinter {
 public:
  RowPrinter(OutputMode mode, std::FILE* out, std::vector<std::string> names, std::vector<std::uint8_t> types);
  RowPrinter(const RowPrinter&) = delete;
  RowPrinter& operator=(const RowPrinter&) = delete;

  void Row(std::span<const StoredValue> values);
  // Ends the set (the closing bracket, the table's frame).
  void Finish();

 private:
  // A value as text, or none for a null.
  using Cell = std::optional<std::string>;

  void WriteLine(const std::vector<Cell>& cells, bool header);
  void WriteTable();

  OutputMode mode_;
  std::FILE* out_;
  std::vector<std::string> names_;
  std::vector<std::uint8_t> types_;
  std::size_t rows_ = 0;
  std::vector<std::vector<Cell>> kept_;  // the table mode's rows
};

}  // namespace kv
