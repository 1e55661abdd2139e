#include "store/xml_writers.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "store/column_types.h"
#include "store/compare_values.h"
#include "store/data_dictionary.h"
#include "store/date_time.h"
#include "store/table_data.h"
#include "store/text_buffer.h"
#include "store/xml_text.h"

namespace kv {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// What distinguishes the three writers.
struct WriterMode {
  bool inMemory = false;  // 64-bit integers as their low word; defaults left out
  bool lookUpForeignKeys = false;
  bool references = false;
};

class Output {
 public:
  virtual ~Output() = default;
  [[nodiscard]] virtual bool Write(std::string_view text) = 0;
};

class FileOutput : public Output {
 public:
  explicit FileOutput(std::FILE* file) : file_(file) {}
  bool Write(std::string_view text) override { return std::fwrite(text.data(), 1, text.size(), file_) == text.size(); }

 private:
  std::FILE* file_;
};

class TextOutput : public Output {
 public:
  bool Write(std::string_view text) override { return text_.Append(text) == STORE_SUCCESS; }
  const TextBuffer& text() const { return text_; }

 private:
  TextBuffer text_;
};

std::size_t CountColons(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += c == ':';
  return count;
}

bool IsWrittenInteger(std::uint8_t type) {
  return type == TARN_SQL_TINYINT || type == TARN_SQL_UNSIGNED_TINYINT || type == TARN_SQL_SMALLINT ||
         type == TARN_SQL_INT || type == TARN_SQL_UNSIGNED_INT;
}

// The plain text of a value, or false when the column type is not written.
bool PlainValueText(std::uint8_t type, const StoredValue& value, bool inMemory, std::string& text) {
  text.clear();
  if (IsWrittenInteger(type) || (inMemory && type == TARN_SQL_LONG_INT)) {
    // A 64-bit integer is written as its low word.
    const int stored = StoredIntegerWidth(value.length, type);
    const int width = type == TARN_SQL_LONG_INT && stored > 4 ? 4 : stored;
    text = Format("%d", static_cast<int>(static_cast<std::int32_t>(ReadSignedInteger(value.data, width))));
    return true;
  }
  switch (type) {
    case TARN_SQL_FLOAT:
      if (value.length < 4) return false;
      text = Format("%f", static_cast<double>(ReadFloat(value.data)));
      return true;
    case TARN_SQL_DOUBLE:
      if (value.length < 8) return false;
      text = Format("%f", ReadDouble(value.data));
      return true;
    case TARN_SQL_CHAR:
    case TARN_SQL_VARCHAR:
    case TARN_SQL_TEXT: text.assign(value.Bytes()); return true;
    case TARN_SQL_DATE:
    case TARN_SQL_TIME:
    case TARN_SQL_DATETIME: {
      const std::optional<TarnGenDateTime> dateTime = ReadDateTimeValue(value.data, value.length);
      if (!dateTime || !(dateTime->parts & (TARN_DATE_PART | TARN_TIME_PART))) return false;
      text = FormatTarnDateTime(*dateTime).view();
      return true;
    }
    case TARN_SQL_BOOLEAN: text = value.length > 0 && value.data[0] == 1 ? "true" : "false"; return true;
    default: return false;
  }
}

std::string ReferenceText(std::string_view table, std::string_view column, std::string_view value) {
  std::string text;
  text.append(table).append(1, ':').append(column).append(1, ':').append(value);
  return text;
}

class DocumentWriter {
 public:
  DocumentWriter(Output& output, WriterMode mode) : output_(output), mode_(mode) {}

  bool Begin(const char* rootName) { return output_.Write(kDeclaration) && output_.Write(Format("<%s>\n", rootName)); }
  bool End(const char* rootName) { return output_.Write(Format("</%s>\n", rootName)); }

  bool WriteTable(const TableData& table) {
    const TableDefn& definition = *table.tableDefn;
    std::vector<const ForeignKeyDefn*> foreignKeys;
    for (const ColumnDefn& column : definition.columns)
      foreignKeys.push_back(mode_.lookUpForeignKeys ? GetForeignKeyEntry(&definition, column.name.c_str()) : nullptr);
    for (const RowObject* row = table.firstRow; row; row = row->next) {
      line_.assign("<").append(definition.name).append(" ");
      std::size_t i = 0;
      for (const ColumnDefn& column : definition.columns) {
        AppendAttribute(definition, column, foreignKeys[i], row->values[i]);
        ++i;
      }
      line_.append("/>\n");
      if (!output_.Write(line_)) return false;
    }
    return true;
  }

 private:
  void AppendAttribute(const TableDefn& table, const ColumnDefn& column, const ForeignKeyDefn* foreignKey,
                       const StoredValue& value) {
    if (value.IsNull()) return;
    if (mode_.inMemory && column.defaultValue && !CompareValues(column.type, value, column.DefaultValue())) return;
    if (!PlainValueText(column.type, value, mode_.inMemory, value_)) return;
    const bool referable = column.type != TARN_SQL_FLOAT && column.type != TARN_SQL_DOUBLE;
    if (mode_.references && referable && column.generatorName) {
      value_ = ReferenceText(table.name, column.name, value_);
    } else if (mode_.references && referable && foreignKey) {
      value_ = ReferenceText(foreignKey->referenceTable, foreignKey->referenceColumn, value_);
    } else if (IsTextType(column.type) && CountColons(value_) >= 2) {
      // The reader keeps what follows the second ':' of a text column.
      value_ = ReferenceText(table.name, column.name, value_);
    }
    line_.append(column.name).append("=\"");
    AppendXmlAttributeText(line_, value_);
    line_.append("\" ");
  }

  Output& output_;
  WriterMode mode_;
  std::string line_;
  std::string value_;
};

// The tables of the names that have table data with columns.
std::vector<const TableData*> TablesToWrite(std::span<const char* const> tableNames) {
  std::vector<const TableData*> tables;
  for (const char* name : tableNames) {
    if (!name) break;
    const TableData* table = GetTableDataByName(name);
    if (table && table->kind == TABLE_DATA_KIND_TABLE && table->tableDefn && table->columnCount > 0)
      tables.push_back(table);
  }
  return tables;
}

std::vector<const TableData*> DictionaryTables() {
  std::vector<const TableData*> tables;
  for (const TableDefn& definition : DataDictionary().gv_tableDefnVect) {
    const TableData* table = GetTableDataByName(definition.name.c_str());
    if (table && table->kind == TABLE_DATA_KIND_TABLE && table->tableDefn && table->columnCount > 0)
      tables.push_back(table);
  }
  return tables;
}

// A name that would make the document malformed fails it before anything
// is written.
bool NamesAreXml(const char* rootName, const std::vector<const TableData*>& tables) {
  auto check = [](std::string_view name) {
    if (IsXmlName(name)) return true;
    LogError("%.*s is not a valid XML name\n", static_cast<int>(name.size()), name.data());
    return false;
  };
  if (!check(rootName ? rootName : "")) return false;
  for (const TableData* table : tables) {
    if (!check(table->tableDefn->name)) return false;
    for (const ColumnDefn& column : table->tableDefn->columns) {
      if (!check(column.name)) return false;
    }
  }
  return true;
}

bool WriteDocument(Output& output, WriterMode mode, const char* rootName, const std::vector<const TableData*>& tables) {
  DocumentWriter writer(output, mode);
  if (!writer.Begin(rootName)) return false;
  for (const TableData* table : tables) {
    if (!writer.WriteTable(*table)) return false;
  }
  return writer.End(rootName);
}

struct StreamCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The document is written beside the file it replaces and takes its place
// only when it is whole: a full disk or a failing one leaves the earlier
// file as it was, never a part of the new one.
bool WriteFile(const char* rootName, const char* prefix, WriterMode mode, const std::vector<const TableData*>& tables) {
  if (!NamesAreXml(rootName, tables)) return false;
  const std::string path = prefix ? Format("%s%s.xml", prefix, rootName) : Format("%s.xml", rootName);
  const std::string partial = path + ".tmp";
  std::unique_ptr<std::FILE, StreamCloser> file(OpenStream(partial, "w"));
  if (!file) {
    LogError("Error in opening %s\n", path.c_str());
    return false;
  }
  FileOutput output(file.get());
  const bool written = WriteDocument(output, mode, rootName, tables);
  if (std::fclose(file.release()) != 0 || !written ||
      MoveFileEx(partial, path, MOVEFILE_REPLACE_EXISTING) != ERROR_SUCCESS) {
    (void)DeleteFile(partial);  // a partial document is worth nothing
    LogError("Error in writing %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool ConvertDOtoXML(std::span<const char* const> tableNames, const char* rootName, const char* prefix) {
  LogTrace("@@@ Inside ConvertDOtoXML @@@\n");
  try {
    return WriteFile(rootName, prefix, WriterMode{}, TablesToWrite(tableNames));
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

bool ConvertTablesToXML(const char* rootName, const char* prefix, std::uint8_t referenceMode) {
  LogTrace("@@@ Inside ConvertTablesToXML @@@\n");
  try {
    const WriterMode mode{false, true, referenceMode == 1};
    return WriteFile(rootName, prefix, mode, DictionaryTables());
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

std::optional<std::string> ConvertDOtoXMLBuffer(std::span<const char* const> tableNames, const char* rootName) {
  LogTrace("@@@ Inside  ConvertDOtoXMLBuffer @@@\n");
  try {
    const std::vector<const TableData*> tables = TablesToWrite(tableNames);
    if (!NamesAreXml(rootName, tables)) return std::nullopt;
    TextOutput output;
    if (!WriteDocument(output, WriterMode{true, false, false}, rootName, tables)) throw std::bad_alloc();
    LogDebug("\n%s\n", output.text().data());
    return output.text().ToString();
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return std::nullopt;
  }
}

const TableDefn* GetTableDefnByTableName(const char* tableName) {
  LogTrace("@@@ Inside GetTableDefnByTableName @@@\n");
  if (tableName) {
    for (const TableDefn& definition : DataDictionary().gv_tableDefnVect) {
      if (definition.name == tableName) return &definition;
    }
  }
  LogError("No table definition available for %s\n", LogText(tableName));
  return nullptr;
}

}  // namespace kv
