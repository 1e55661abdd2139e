#include "dataobjects/index_table.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "base/log_writer.h"
#include "dataobjects/data_object_fetch.h"
#include "dataobjects/foreign_key_chains.h"
#include "dataobjects/owner_link_query.h"
#include "dataobjects/personality.h"
#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/database_state.h"
#include "db/db_statements.h"
#include "db/sql_builder.h"
#include "db/sql_dialect.h"
#include "db/sql_front.h"
#include "db/sql_literal.h"
#include "store/column_types.h"
#include "store/data_dictionary.h"
#include "store/value_text.h"

namespace kv {
namespace {

// The index tables live on the default connection.
class DefaultConnection {
 public:
  DefaultConnection() : name_(GetDefaultConnectionName()), handle_(name_) {}

  bool Execute(const std::string& sql) const { return handle_ && name_ && ExecuteUpdate(handle_.get(), sql.c_str()); }
  DBResultSetPtr Query(const std::string& sql) const {
    return handle_ && name_ ? ExecuteQuery(handle_.get(), sql.c_str()) : nullptr;
  }

 private:
  const char* name_;
  PooledConnection handle_;
};

// The dialect of the default connection, whose literals the index
// statements write.
const DialectRules& DefaultRules() {
  const DatabaseAccessState& state = DatabaseAccess();
  const char* name = DefaultDialectName(state.defaultDialectIndex);
  if (state.perTableDataSources) {
    const char* connection = GetDefaultConnectionName();
    const ConnParamsEntry* parameters = connection ? GetConnParamsEntry(connection) : nullptr;
    if (parameters) name = parameters->databaseType.c_str();
  }
  const SQLDialect* dialect = FindSQLDialect(name);
  return dialect ? dialect->rules() : SqliteDialect().rules();
}

std::string IndexTableName(const std::string& dominant) { return dominant + "_IDX"; }

bool IsIndexed(const std::string& table) {
  const std::vector<std::string>& indexed = Personalities().indexedTables;
  return std::any_of(indexed.begin(), indexed.end(), [&](const std::string& t) { return AsciiEqualsNoCase(t, table); });
}

// The one key column of an indexed dominant table, or null.
const ColumnDefn* IndexKey(const std::string& table) {
  if (!IsIndexed(table)) return nullptr;
  const std::optional<std::vector<const ColumnDefn*>> keys = GetPKColumnInfo(table.c_str());
  return keys && keys->size() == 1 ? keys->front() : nullptr;
}

// Whether a statement finds a row (false also when it fails).
bool Finds(const DefaultConnection& connection, const std::string& sql) {
  const DBResultSetPtr result = connection.Query(sql);
  return result && result->rowCount() > 0;
}

// Only new rows enter an index and only deleted ones leave it.
bool IsNewRow(std::uint8_t state) { return state == ROW_STATE_NEW || state == (ROW_STATE_NEW | ROW_STATE_MODIFIED); }
bool IsDeletedRow(std::uint8_t state) {
  return (state & (ROW_STATE_IN_DATABASE | ROW_STATE_DELETED)) == (ROW_STATE_IN_DATABASE | ROW_STATE_DELETED);
}

// Whether the table still holds a row that its link leads to the key value
// (true also when the database cannot tell).
bool TableHolds(const std::string& table, const OwnerLink& link, const StoredValue& value, std::uint8_t type) {
  SelectQueryPtr query = CreateSelectQuery();
  CriteriaExp* criteria = nullptr;
  const bool built = query &&
                     (link.steps.empty() ? AddSelectTable(*query, table.c_str(), nullptr)
                                         : JoinSteps(*query, link.steps, SQL_INNER_JOIN)) &&
                     AddEqualCondition(*query, criteria, link.holder, link.keys.front().first, value, type);
  if (!built) return true;
  SetCriteria(*query, criteria);
  const DBResultSetPtr result = RunSelectQuery(*query);
  return !result || result->rowCount() > 0;
}

// Keeps the index entry of a new or deleted row of a table for one key
// value of the dominant table: false when a statement fails.
bool IndexRow(const DefaultConnection& connection, const std::string& dominant, const ColumnDefn& key,
              const std::string& table, const OwnerLink& link, const StoredValue& value, std::uint8_t type,
              std::uint8_t state) {
  const DialectRules& rules = DefaultRules();
  const std::optional<std::string> literal = SqlLiteral(value, type, rules);
  if (!literal) return true;
  const std::string index = IndexTableName(dominant);
  const std::string tableText = QuoteSqlText(table, rules);
  const std::string entryCondition =
      Format("%s = %s AND TABLENAME = %s", key.name.c_str(), literal->c_str(), tableText.c_str());
  bool done = true;
  if (IsDeletedRow(state)) {
    // The table leaves the index of the key with its last row.
    if (!TableHolds(table, link, value, type))
      done = connection.Execute(Format("DELETE FROM %s WHERE %s", index.c_str(), entryCondition.c_str()));
  } else if (!Finds(connection, Format("SELECT TABLENAME FROM %s WHERE %s", index.c_str(), entryCondition.c_str()))) {
    const std::string sql =
        Format("INSERT INTO %s VALUES (%s, %s)", index.c_str(), literal->c_str(), tableText.c_str());
    LogTrace("Insert Query for %s: %s\n", index.c_str(), sql.c_str());
    done = connection.Execute(sql);
  }
  if (!done) LogError("Cannot Add Entry Into Index Table\n");
  return done;
}

// The key values of the dominant table that a row reaches through the
// tables between (its link's steps), read from the database: from the row
// it refers to onwards to the table that holds the key. Nothing when the
// database cannot be read; none when the row refers to no row.
std::optional<std::vector<std::string>> KeysThroughSteps(const TableDefn& definition, const OwnerLink& link,
                                                         const ColumnDefn& key, const RowView& row) {
  const ForeignKeyStep& first = link.steps.front();
  const std::span<const ForeignKeyStep> onwards = std::span(link.steps).subspan(1);
  SelectQueryPtr query = CreateSelectQuery();
  CriteriaExp* criteria = nullptr;
  bool built = query &&
               (onwards.empty() ? AddSelectTable(*query, first.referenceTable.c_str(), nullptr)
                                : JoinSteps(*query, onwards, SQL_INNER_JOIN)) &&
               AddSelectColumn(*query, MakeSelectColumn(*query, link.holder.c_str(), nullptr,
                                                        link.keys.front().first.c_str(), nullptr, key.type));
  for (const auto& [local, referenced] : first.columns) {
    const std::int32_t at = GetColumnIndex(&definition, local.c_str());
    if (at < 0 || at >= row.count || row.values[at].IsNull()) return std::vector<std::string>{};
    built = built && AddEqualCondition(*query, criteria, first.referenceTable, referenced, row.values[at],
                                       definition.columns.At(at)->type);
  }
  if (!built) return std::nullopt;
  SetCriteria(*query, criteria);
  const DBResultSetPtr result = RunSelectQuery(*query);
  if (!result || result->columnCount() < 1) return std::nullopt;
  std::vector<std::string> keys;
  for (std::int32_t at = 0; at < result->rowCount(); ++at) {
    TypedValueBuffer converted;
    const std::optional<StoredValue> value =
        ResultValueAs(result->Value(at, 0), result->columns()[0].type, key.type, converted);
    if (value && !value->IsNull()) keys.emplace_back(value->Bytes());
  }
  return keys;
}

// Keeps a row's index entries under one indexed dominant table: one for
// each of the table's foreign keys whose chain leads to the dominant key,
// with the row's value; else, for a table that reaches the dominant table
// through others, one for each key value its link leads to.
bool IndexUnder(const DefaultConnection& connection, const TableDefn& definition, const std::string& dominant,
                const ColumnDefn& key, const RowView& row) {
  bool direct = false;
  for (const ForeignKeyDefn& entry : *ForeignKeysOf(&definition)) {
    if (!CompareRootRefTable(entry, dominant.c_str(), key.name.c_str())) continue;
    direct = true;
    const std::int32_t local = GetColumnIndex(&definition, entry.localColumn.c_str());
    if (local < 0 || local >= row.count || row.values[local].IsNull()) continue;
    const OwnerLink link{{}, definition.name, {{entry.localColumn, key.name}}};
    if (!IndexRow(connection, dominant, key, definition.name, link, row.values[local],
                  definition.columns.At(local)->type, row.state))
      return false;
  }
  if (direct) return true;
  const std::optional<OwnerLink> link = FindOwnerLink(definition.name.c_str(), dominant.c_str());
  if (!link || link->steps.empty()) return true;
  const std::optional<std::vector<std::string>> values = KeysThroughSteps(definition, *link, key, row);
  if (!values) {
    LogError("Cannot Add Entry Into Index Table\n");
    return false;
  }
  for (const std::string& value : *values) {
    const StoredValue stored{value.data(), static_cast<std::int32_t>(value.size())};
    if (!IndexRow(connection, dominant, key, definition.name, *link, stored, key.type, row.state)) return false;
  }
  return true;
}

}  // namespace

bool CreateIndexTable(const char* dominantTable) {
  const std::optional<std::vector<const ColumnDefn*>> keys = GetPKColumnInfo(dominantTable);
  if (!keys || keys->empty()) {
    LogError("Cannot create Index Table for %s\n", LogText(dominantTable));
    return false;
  }
  const std::string dominant = GetTableDefn(dominantTable)->name;
  std::string columns;
  for (const ColumnDefn* key : *keys) {
    columns += key->name + " ";
    if (key->type == TARN_SQL_TINYINT || key->type == TARN_SQL_SMALLINT || key->type == TARN_SQL_INT ||
        key->type == TARN_SQL_LONG_INT)
      columns += "INT, ";
    else if (key->type == TARN_SQL_CHAR || key->type == TARN_SQL_VARCHAR)
      columns += Format("VARCHAR(%d), ", key->maxSize);
  }
  const std::string index = IndexTableName(dominant);
  const DefaultConnection connection;
  if (!connection.Execute(Format("CREATE TABLE %s(%s TABLENAME VARCHAR(40))", index.c_str(), columns.c_str()))) {
    // An index table made by an earlier run is the one to keep.
    if (!connection.Query(Format("SELECT TABLENAME FROM %s WHERE 1 = 0", index.c_str()))) {
      LogError("Cannot create Index Table for %s\n", dominant.c_str());
      return false;
    }
    LogDebug("Index table %s is there already.\n", index.c_str());
  }
  std::vector<std::string>& indexed = Personalities().indexedTables;
  if (!IsIndexed(dominant)) indexed.push_back(dominant);
  return true;
}

int AddEntryToIndexTable(const char* tableName, const RowView& row) {
  const TableDefn* definition = GetTableDefn(tableName);
  if (!ForeignKeysOf(definition)) {
    LogTrace("No References.\n");
    return STORE_SUCCESS;
  }
  if (!IsNewRow(row.state) && !IsDeletedRow(row.state)) return STORE_SUCCESS;
  return GuardMemory([&]() -> int {
    const DefaultConnection connection;
    for (const std::string& dominant : Personalities().indexedTables) {
      const ColumnDefn* key = IndexKey(dominant);
      if (key && !IndexUnder(connection, *definition, dominant, *key, row)) return STORE_FAILURE;
    }
    return STORE_SUCCESS;
  });
}

int AddDataObjectToIndexTables(const DataObject* object) {
  if (!object) return STORE_FAILURE;
  int result = STORE_SUCCESS;
  for (const RowCollection* collection = object->firstCollection; collection; collection = collection->next) {
    for (const RowUnit* unit = collection->firstRow; unit; unit = unit->next) {
      const std::optional<TableRow> row = GetRowObjectFromRowUnit(unit, object);
      if (!row) return STORE_FAILURE;
      const RowView view{row->values.data(), static_cast<std::int32_t>(row->values.size()), row->state};
      if (AddEntryToIndexTable(collection->tableName, view) != STORE_SUCCESS) result = STORE_FAILURE;
    }
  }
  return result;
}

DataObjectPtr DeepRetrieveDO(const char* dominantTable, const RowUnit* rowUnit) {
  const std::optional<std::vector<const ColumnDefn*>> keys = GetPKColumnInfo(dominantTable);
  if (!keys || keys->empty() || !rowUnit) {
    LogError("No primary keys in dominant table %s\n", LogText(dominantTable));
    return nullptr;
  }
  return GuardMemory([&]() -> DataObjectPtr {
    const DialectRules& rules = DefaultRules();
    std::string condition;
    for (const ColumnDefn* key : *keys) {
      const StoredValue value = RowUnitValue(*rowUnit, key->name.c_str());
      const std::optional<std::string> literal = value.IsNull() ? std::nullopt : SqlLiteral(value, key->type, rules);
      if (!literal) {
        LogError("No primary keys in dominant table %s\n", dominantTable);
        return nullptr;
      }
      condition += (condition.empty() ? "" : " AND ") + key->name + " = " + *literal + " ";
    }
    const std::string sql = Format("SELECT TABLENAME FROM %s WHERE %s",
                                   IndexTableName(GetTableDefn(dominantTable)->name).c_str(), condition.c_str());
    const DBResultSetPtr result = DefaultConnection().Query(sql);
    if (!result || result->columnCount() == 0) {
      LogError("Query: %s. No tables indexed.  Cannot deep retrieve DO for %s\n", sql.c_str(), dominantTable);
      return nullptr;
    }
    if (result->rowCount() == 0) return nullptr;
    std::vector<std::string> names{dominantTable};
    for (std::int32_t row = 0; row < result->rowCount(); ++row) {
      std::string name(result->Value(row, 0).Bytes());
      while (!name.empty() && name.back() == ' ') name.pop_back();
      if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    std::vector<const char*> tables;
    for (const std::string& name : names) tables.push_back(name.c_str());
    return GetDataObjectByRowUnit(tables, rowUnit);
  });
}

}  // namespace kv
