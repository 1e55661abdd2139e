#include "row_output.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "store/column_types.h"
#include "store/table_text.h"

namespace kv {
namespace {

bool IsNumberType(std::uint8_t type) {
  return IsSignedIntegerType(type) || IsUnsignedIntegerType(type) || type == TARN_SQL_FLOAT ||
         type == TARN_SQL_DOUBLE || type == TARN_SQL_REAL || type == TARN_SQL_DECIMAL || type == TARN_SQL_NUMERIC;
}

// A number's text as JSON takes it: the store prints finite values in
// decimal; anything else (an infinity, a NaN, a text a decimal column
// holds) goes as a string.
bool IsJsonNumber(std::string_view text) {
  if (text.empty()) return false;
  char* end = nullptr;
  const std::string copy(text);
  const double value = std::strtod(copy.c_str(), &end);
  const bool digitsOnly = copy.find_first_not_of("+-0123456789.eE") == std::string::npos;
  return end == copy.c_str() + copy.size() && std::isfinite(value) && digitsOnly && copy.front() != '+' &&
         copy.front() != '.';
}

void AppendJsonString(std::string& line, std::string_view text) {
  line += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': line += "\\\""; break;
      case '\\': line += "\\\\"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      case '\t': line += "\\t"; break;
      default:
        if (byte < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          line += "\\u00";
          line += kHex[byte >> 4];
          line += kHex[byte & 0xF];
        } else {
          line += c;
        }
    }
  }
  line += '"';
}

// Tab, newline, carriage return and backslash escaped, as COPY's text format.
void AppendTsvField(std::string& line, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      case '\\': line += "\\\\"; break;
      default: line += c;
    }
  }
}

// Quoted when it holds a comma, a quote or a line break, or is empty (so
// that only a null is an empty field); quotes doubled.
void AppendCsvField(std::string& line, std::string_view text) {
  if (!text.empty() && text.find_first_of(",\"\r\n") == std::string_view::npos) {
    line += text;
    return;
  }
  line += '"';
  for (const char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

// What a table cell shows: control characters written as escapes, so that
// every row stays one line.
std::string TableCellText(std::string_view text) {
  std::string shown;
  AppendTsvField(shown, text);
  return shown;
}

// Columns on a terminal: UTF-8 continuation bytes take none.
std::size_t DisplayWidth(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::optional<OutputMode> OutputModeNamed(std::string_view word) {
  if (word == "tsv") return OutputMode::kTsv;
  if (word == "csv") return OutputMode::kCsv;
  if (word == "json") return OutputMode::kJson;
  if (word == "table") return OutputMode::kTable;
  return std::nullopt;
}

std::string_view OutputModeName(OutputMode mode) {
  switch (mode) {
    case OutputMode::kTsv: return "tsv";
    case OutputMode::kCsv: return "csv";
    case OutputMode::kJson: return "json";
    case OutputMode::kTable: return "table";
  }
  return "tsv";
}

RowPrinter::RowPrinter(OutputMode mode, std::FILE* out, std::vector<std::string> names,
                       std::vector<std::uint8_t> types)
    : mode_(mode), out_(out), names_(std::move(names)), types_(std::move(types)) {
  if (mode_ == OutputMode::kJson) {
    std::fputs("[", out_);
  } else if (mode_ != OutputMode::kTable) {
    std::vector<Cell> header(names_.begin(), names_.end());
    WriteLine(header, true);
  }
}

void RowPrinter::Row(std::span<const StoredValue> values) {
  std::vector<Cell> cells;
  cells.reserve(types_.size());
  for (std::size_t i = 0; i < types_.size(); ++i) {
    const StoredValue value = i < values.size() ? values[i] : StoredValue{};
    if (value.IsNull()) {
      cells.emplace_back(std::nullopt);
      continue;
    }
    std::string text;
    AppendValueText(text, value, types_[i]);
    cells.emplace_back(std::move(text));
  }
  if (mode_ == OutputMode::kTable)
    kept_.push_back(std::move(cells));
  else
    WriteLine(cells, false);
  ++rows_;
}

void RowPrinter::WriteLine(const std::vector<Cell>& cells, bool header) {
  std::string line;
  if (mode_ == OutputMode::kJson) {
    line += rows_ == 0 ? "\n  {" : ",\n  {";
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i) line += ", ";
      AppendJsonString(line, names_[i]);
      line += ": ";
      const Cell& cell = cells[i];
      if (!cell)
        line += "null";
      else if (types_[i] == TARN_SQL_BOOLEAN)
        line += *cell == "0" ? "false" : "true";
      else if (IsNumberType(types_[i]) && IsJsonNumber(*cell))
        line += *cell;
      else
        AppendJsonString(line, *cell);
    }
    line += "}";
    std::fputs(line.c_str(), out_);
    return;
  }
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) line += mode_ == OutputMode::kCsv ? "," : "\t";
    const Cell& cell = cells[i];
    if (!cell) {
      if (mode_ == OutputMode::kTsv) line += "\\N";
      continue;
    }
    if (mode_ == OutputMode::kCsv)
      AppendCsvField(line, *cell);
    else if (header)
      line += *cell;  // column names are plain words
    else
      AppendTsvField(line, *cell);
  }
  line += mode_ == OutputMode::kCsv ? "\r\n" : "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
}

void RowPrinter::WriteTable() {
  const std::size_t count = names_.size();
  std::vector<std::size_t> widths(count);
  for (std::size_t i = 0; i < count; ++i) widths[i] = DisplayWidth(names_[i]);
  std::vector<std::vector<std::string>> shown;
  shown.reserve(kept_.size());
  for (const std::vector<Cell>& row : kept_) {
    std::vector<std::string>& cells = shown.emplace_back();
    for (std::size_t i = 0; i < count; ++i) {
      cells.push_back(row[i] ? TableCellText(*row[i]) : std::string());
      widths[i] = std::max(widths[i], DisplayWidth(cells.back()));
    }
  }
  std::string rule = "+";
  for (const std::size_t width : widths) rule += std::string(width + 2, '-') + "+";
  rule += "\n";
  auto line = [&](const std::vector<std::string>& cells, bool header) {
    std::string text = "|";
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t pad = widths[i] - DisplayWidth(cells[i]);
      // Numbers line up on the right, as in the shells.
      const bool right = !header && IsNumberType(types_[i]);
      text += " " + (right ? std::string(pad, ' ') + cells[i] : cells[i] + std::string(pad, ' ')) + " |";
    }
    return text + "\n";
  };
  std::string text = rule + line(names_, true) + rule;
  for (const std::vector<std::string>& cells : shown) text += line(cells, false);
  if (!shown.empty()) text += rule;
  std::fwrite(text.data(), 1, text.size(), out_);
}

void RowPrinter::Finish() {
  if (mode_ == OutputMode::kJson) std::fputs(rows_ ? "\n]\n" : "]\n", out_);
  if (mode_ == OutputMode::kTable) WriteTable();
  kept_.clear();
}

}  // namespace kv
