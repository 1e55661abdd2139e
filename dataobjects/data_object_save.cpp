#include "dataobjects/data_object_save.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/log_writer.h"
#include "dataobjects/data_object_parts.h"
#include "dataobjects/foreign_key_chains.h"
#include "db/connection_pool.h"
#include "db/db_statements.h"
#include "db/sql_builder.h"
#include "db/sql_front.h"

namespace kv {
namespace {

enum class Change : std::uint8_t { kNone, kUpdate, kDelete, kInsert, kInvalid };

Change ChangeOf(std::uint8_t state) {
  if (state == (ROW_STATE_IN_DATABASE | ROW_STATE_MODIFIED)) return Change::kUpdate;
  if ((state & (ROW_STATE_IN_DATABASE | ROW_STATE_DELETED)) == (ROW_STATE_IN_DATABASE | ROW_STATE_DELETED))
    return Change::kDelete;
  if (state == ROW_STATE_NEW || state == (ROW_STATE_NEW | ROW_STATE_MODIFIED)) return Change::kInsert;
  if ((state & (ROW_STATE_NEW | ROW_STATE_DELETED)) == (ROW_STATE_NEW | ROW_STATE_DELETED)) return Change::kNone;
  return state > ROW_STATE_IN_DATABASE ? Change::kInvalid : Change::kNone;
}

// The connections of one save, one per data source, each in a transaction
// of the save's own unless its owner had begun one. Whatever happens, each
// connection is given back and an uncommitted transaction rolled back.
class SaveSession {
 public:
  SaveSession() = default;
  SaveSession(const SaveSession&) = delete;
  SaveSession& operator=(const SaveSession&) = delete;
  ~SaveSession() { Finish(false); }

  DBConnection* Connection(const char* source) {
    for (const auto& open : sources_)
      if (open->name == source) return open->connection.get();
    auto opened = std::make_unique<Source>(source);
    if (!opened->connection) {
      LogError("Cannot get a connection of data source %s.\n", source);
      return nullptr;
    }
    opened->transaction.emplace(opened->connection.get());
    if (!opened->transaction->Begin()) {
      LogError("Cannot begin a transaction on data source %s.\n", source);
      return nullptr;
    }
    sources_.push_back(std::move(opened));
    return sources_.back()->connection.get();
  }

  // Commits (or, when the save failed, rolls back) and gives the
  // connections back; true when everything was committed.
  bool Finish(bool saved) {
    for (const auto& source : sources_) {
      if (!saved) {
        source->transaction->Rollback();
      } else if (!source->transaction->Commit()) {
        LogError("Cannot commit the changes on data source %s.\n", source->name.c_str());
        saved = false;
      }
    }
    sources_.clear();
    return saved;
  }

 private:
  struct Source {
    explicit Source(const char* source) : name(source), connection(name.c_str()) {}
    std::string name;
    PooledConnection connection;
    std::optional<OwnTransaction> transaction;
  };
  std::vector<std::unique_ptr<Source>> sources_;
};

bool SaveRowUnit(const RowUnit& row, const DataObject& object, SaveSession& session) {
  const Change change = ChangeOf(row.state);
  if (change == Change::kNone) return true;
  if (change == Change::kInvalid) {
    LogError("Invalid State for keyStr.  Cannot Save.\n");
    LogError("QueryPtr is NULL.\n");
    return false;
  }
  const std::optional<TableRow> full = GetRowObjectFromRowUnit(&row, &object);
  if (!full) {
    LogError("Cannot convert RowUnit to RowObject.\n");
    return false;
  }
  const char* source = GetDataSourceOfTable(row.tableName);
  DBConnection* handle = source ? session.Connection(source) : nullptr;
  if (!handle) return false;
  LogDebug("RowState %d\n", row.state);
  std::optional<std::string> sql;
  switch (change) {
    case Change::kUpdate: sql = GenerateUpdateQuery(row.tableName, full->values, full->selected); break;
    case Change::kDelete: sql = GenerateDeleteQuery(row.tableName, full->values); break;
    case Change::kInsert: sql = GenerateInsertQuery(row.tableName, full->values); break;
    default: break;
  }
  if (!sql) {
    LogError("QueryPtr is NULL.\n");
    return false;
  }
  if (!ExecuteUpdate(handle, sql->c_str())) {
    LogError("Error in executing update query \n");
    LogError("QUERY : %s\n", sql->c_str());
    return false;
  }
  return true;
}

}  // namespace

bool SaveDataObject(DataObject* object) {
  if (!object) {
    LogError("DO is NULL.\n");
    return false;
  }
  return GuardMemory([&]() -> bool {
    const std::optional<std::vector<const char*>> tables = SortTableByFK(TableNames(*object));
    if (!tables) return false;
    SaveSession session;
    for (const char* table : *tables) {
      for (const RowUnit* row = FindCollection(*object, table)->firstRow; row; row = row->next)
        if (!SaveRowUnit(*row, *object, session)) return session.Finish(false);
    }
    return session.Finish(true);
  });
}

}  // namespace kv
