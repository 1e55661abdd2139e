#include "dbstore/table_save.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/log_writer.h"
#include "base/object_locks.h"
#include "base/text_format.h"
#include "db/connection_params.h"
#include "db/db_statements.h"
#include "db/sql_builder.h"
#include "db/sql_front.h"
#include "dbstore/data_files.h"
#include "dbstore/row_statements.h"
#include "dbstore/table_progress.h"
#include "platform/files.h"
#include "store/criteria.h"
#include "store/store_root.h"
#include "store/table_data.h"

namespace kv {
namespace {

// What a row's state asks of the database.
enum class RowChange { kNone, kInsert, kUpdate, kDelete };

RowChange ChangeOf(std::uint8_t state) {
  if (state == (ROW_STATE_IN_DATABASE | ROW_STATE_MODIFIED)) return RowChange::kUpdate;
  if ((state & ROW_STATE_IN_DATABASE) && (state & ROW_STATE_DELETED)) return RowChange::kDelete;
  if (state == ROW_STATE_NEW || state == (ROW_STATE_NEW | ROW_STATE_MODIFIED)) return RowChange::kInsert;
  return RowChange::kNone;
}

std::optional<std::string> ChangeText(RowChange change, const TableData& table, const RowObject& row) {
  const std::span<const StoredValue> values(row.values, static_cast<std::size_t>(table.columnCount));
  switch (change) {
    case RowChange::kInsert: return GenerateInsertQuery(table.name.c_str(), values);
    case RowChange::kUpdate: return GenerateUpdateQuery(table.name.c_str(), values);
    case RowChange::kDelete: return GenerateDeleteQuery(table.name.c_str(), values);
    case RowChange::kNone: break;
  }
  return std::nullopt;
}

struct PendingRow {
  RowObject* row;
  RowChange change;
};

// The rows that have something to write, in table order.
std::vector<PendingRow> PendingRows(const TableData& table) {
  std::vector<PendingRow> pending;
  for (RowObject* row = table.firstRow; row; row = row->next)
    if (const RowChange change = ChangeOf(row->state); change != RowChange::kNone) pending.push_back({row, change});
  return pending;
}

// Writes the pending rows a batch at a time; the rows whose statement took
// effect, or nothing when the transaction was lost on the way.
std::optional<std::vector<PendingRow>> WriteRows(DBConnection* handle, const TableData& table,
                                                 const std::vector<PendingRow>& pending, SaveCounts& counts) {
  const SQLDialect* dialect = GetDialectOfTable(table.name.c_str());
  if (!dialect) return std::nullopt;
  std::vector<PendingRow> written;
  ProgressReport progress("save", table.name.c_str(), static_cast<std::int64_t>(pending.size()));
  std::vector<std::optional<std::string>> statements;
  std::vector<bool> done;
  for (std::size_t first = 0; first < pending.size(); first += kRowStatementBatch) {
    const std::span<const PendingRow> batch =
        std::span(pending).subspan(first, std::min(kRowStatementBatch, pending.size() - first));
    statements.clear();
    for (const PendingRow& item : batch) statements.push_back(ChangeText(item.change, table, *item.row));
    if (!RunRowStatements(handle, dialect->rules(), table.name, statements, done)) {
      LogError("Saving table %s stopped: its transaction was lost.\n", table.name.c_str());
      return std::nullopt;
    }
    bool going = true;
    for (std::size_t i = 0; i < batch.size(); ++i) {
      going = progress.Step() && going;
      if (done[i]) {
        written.push_back(batch[i]);
        continue;
      }
      LogError("Error in executing update query \n");
      LogError("QUERY : %s\n", LogText(statements[i]));
      ++counts.failed;
    }
    if (!going) {
      LogError("Saving table %s stopped: it was cancelled.\n", table.name.c_str());
      return std::nullopt;
    }
  }
  progress.Finish();
  return written;
}

// The written rows take their new states: a deleted row leaves the table,
// the others are in the database.
void MarkWritten(TableData& table, const std::vector<PendingRow>& written, SaveCounts& counts) {
  for (const PendingRow& item : written) {
    switch (item.change) {
      case RowChange::kDelete:
        item.row->state = ROW_STATE_DELETED;
        (void)DeleteRowObject(table.name.c_str(), item.row);  // the table's own row: always found
        ++counts.deleted;
        continue;
      case RowChange::kInsert: ++counts.inserted; break;
      case RowChange::kUpdate: ++counts.updated; break;
      case RowChange::kNone: break;
    }
    item.row->state = ROW_STATE_IN_DATABASE;
  }
}

// Saves a table on a connection of its data source, in a transaction of its
// own unless the caller's is open.
bool SaveOnConnection(DBConnection* handle, TableData& table, SaveCounts& counts) {
  const std::vector<PendingRow> pending = PendingRows(table);
  if (pending.empty()) return true;
  OwnTransaction transaction(handle);
  if (!transaction.Begin()) return false;
  std::optional<std::vector<PendingRow>> written = WriteRows(handle, table, pending, counts);
  if (transaction.own() && (!written || !transaction.Commit())) {
    transaction.Rollback();
    if (written) LogError("Saving table %s could not be committed.\n", table.name.c_str());
    counts.failed = static_cast<std::int32_t>(pending.size());
    return false;
  }
  if (!written) return false;
  MarkWritten(table, *written, counts);
  return true;
}

}  // namespace

int SaveTable(const char* tableName, SaveCounts* counts) {
  return GuardMemory([&]() -> int {
    LogTrace("@@@ Inside SaveTable @@@\n");
    SaveCounts made;
    SaveCounts& result = counts ? *counts : made;
    result = SaveCounts();
    TableData* table = GetTableDataByName(tableName);
    if (!table) return STORE_FAILURE;
    ObjectLockGuard lock(CriteriaParserLockKey());
    const DataSourceMapEntry* entry = GetDataSourceMapEntry(table->name.c_str());
    if (!entry) return STORE_FAILURE;
    const std::string source = entry->dataSourceName;
    const PooledConnection handle(source.c_str());
    if (!handle) return STORE_FAILURE;
    return SaveOnConnection(handle.get(), *table, result) ? STORE_SUCCESS : STORE_FAILURE;
  });
}

bool SaveAllTables() {
  // Each save logs its own failure; the others go on.
  for (TableData& table : TableDataRegistry().gv_tableDataVect) (void)SaveTable(table.name.c_str());
  return true;
}

bool SaveTablesFromList() {
  return GuardMemory([]() -> bool {
    const std::optional<std::string> root = CFennelRoot();
    DataFile list;
    if (root) {
      const std::string path = Format("%s/data/%s", root->c_str(), kSaveTablesList);
      LogDebug("Opening %s\n", path.c_str());
      list.reset(OpenStream(path, "r"));
    }
    if (!list) {
      LogError("No tables to be saved.\n");
      return true;
    }
    int lineNumber = 0;
    while (const std::optional<std::string> line = ReadListLine(list.get(), kSaveTablesList, lineNumber)) {
      const std::string table = line->substr(0, line->find_first_of(" \t"));
      if (!table.empty()) (void)SaveTable(table.c_str());  // each logs its own failure
    }
    return true;
  });
}

}  // namespace kv
