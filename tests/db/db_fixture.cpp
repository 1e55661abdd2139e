#include "tests/db/db_fixture.h"

#include <cstdio>
#include <stdexcept>

#include "base/log_writer.h"
#include "db/db_provider.h"
#include "db/sql_dialect.h"
#include "platform/files.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "store/date_time.h"
#include "store/typed_value.h"

namespace kv::test {

DbTestLog::DbTestLog(const Scratch& directory) : path_(directory.Directory() + "\\test.log") {
  ResetLogger();
  if (!InitLoggerDefaults() || !SetLoggerParams("test.log", directory.Directory().c_str(), 4) || !CreateLogFile())
    throw std::runtime_error("cannot open the test log");
}

DbTestLog::~DbTestLog() { ResetLogger(); }

std::string DbTestLog::Contents() const {
  std::string contents;
  if (std::FILE* file = OpenStream(path_, "rb")) {
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) contents.append(buffer, read);
    std::fclose(file);
  }
  return contents;
}

std::string LogErrors(const DbTestLog& log) { return ErrorEntries(log.Contents()); }

std::string ErrorEntries(const std::string& contents) {
  std::string errors;
  // Entries begin with "[ " at the start of a line.
  for (std::size_t start = 0; start < contents.size();) {
    std::size_t end = contents.find("\n[ ", start);
    end = end == std::string::npos ? contents.size() : end + 1;
    const std::string entry = contents.substr(start, end - start);
    if (entry.find("[ERROR]") != std::string::npos) errors += entry;
    start = end;
  }
  return errors;
}

SelectJoin* ItemsToOwners(SelectQuery& query) {
  SelectColumnList* itemKeys = MakeColumnList(query);
  SelectColumnList* ownerKeys = MakeColumnList(query);
  for (const char* name : {"OWNER_ID", "REGION"}) {
    if (!AppendColumn(query, itemKeys, MakeSelectColumn(query, nullptr, nullptr, name, nullptr, TARN_SQL_INT)) ||
        !AppendColumn(query, ownerKeys, MakeSelectColumn(query, nullptr, nullptr, name, nullptr, TARN_SQL_INT)))
      return nullptr;
  }
  return MakeSelectJoin(query, "KV_ITEMS", "i", "KV_OWNERS", "o", SQL_INNER_JOIN, itemKeys, ownerKeys);
}

TestRow::TestRow(const char* tableName, const std::vector<std::optional<std::string>>& texts) {
  const TableDefn* definition = GetTableDefn(tableName);
  if (!definition) throw std::invalid_argument(std::string("no table ") + tableName);
  std::size_t index = 0;
  for (const ColumnDefn& column : definition->columns) {
    StoredValue value;
    if (index < texts.size() && texts[index]) {
      std::int32_t length = static_cast<std::int32_t>(texts[index]->size());
      owned_.push_back(ConvertToTypedValue(texts[index]->c_str(), length, column.type));
      if (!owned_.back()) throw std::invalid_argument("no value of " + column.name + ": " + *texts[index]);
      value = StoredValue{owned_.back().get(), length};
    }
    values_.push_back(value);
    ++index;
  }
}

std::optional<std::string> ValueText(const StoredValue& value, std::uint8_t type) {
  if (value.IsNull()) return std::nullopt;
  if (type == TARN_SQL_BOOLEAN) return std::string(value.length >= 1 && value.data[0] == 1 ? "1" : "0");
  if (IsDateTimeType(type)) {
    std::optional<TarnGenDateTime> read = ReadDateTimeValue(value.data, value.length);
    if (!read) return "(unreadable date)";
    if (type == TARN_SQL_DATE && (read->parts & TARN_DATE_PART)) read->parts = TARN_DATE_PART;
    if (type == TARN_SQL_TIME && (read->parts & TARN_TIME_PART)) read->parts = TARN_TIME_PART;
    return std::string(FormatTarnDateTime(*read).view());
  }
  if (IsSignedIntegerType(type) || IsUnsignedIntegerType(type) || type == TARN_SQL_FLOAT || type == TARN_SQL_DOUBLE ||
      type == TARN_SQL_REAL) {
    ValueTextBuffer scratch;
    const auto text = TypedValueText(value.data, value.length, type, scratch);
    return text ? std::string(*text) : "(unreadable number)";
  }
  return std::string(value.Bytes());
}

FreshDatabaseAccess::FreshDatabaseAccess(StateReset reset) : reset_(reset) {
  directory_.WriteFile("types.xml", kTypesDictionary);
  directory_.WriteFile("unsupported.xml", kUnsupportedDictionary);
  reset_();
  if (!LoadDataDictFromXMLFile(PathOf("types.xml").c_str()) || !GetTableDefn("KV_ITEMS"))
    throw std::runtime_error("the test dictionary does not load");
  if (!InitDBProvider()) throw std::runtime_error("InitDBProvider failed");
  RegisterSQLDialects();
}

FreshDatabaseAccess::~FreshDatabaseAccess() { reset_(); }

}  // namespace kv::test
