#include "dataobjects/data_object_save.h"

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
// of the save's own unless its owner had begun one.
class SaveSession {
 public:
  SaveSession() = default;
  SaveSession(const SaveSession&) = delete;
  SaveSession& operator=(const SaveSession&) = delete;
  ~SaveSession() { Finish(false); }

  DBConnection* Connection(const char* source) {
    for (const Source& open : sources_)
      if (open.name == source) return open.handle;
    DBConnection* handle = GetConnectionHandle(source);
    if (!handle) {
      LogError("Cannot get a connection of data source %s.\n", source);
      return nullptr;
    }
    Source opened{source, handle, false};
    if (!handle->inTransaction) {
      if (!BeginTransaction(handle)) {
        LogError("Cannot begin a transaction on data source %s.\n", source);
        ReleaseConnectionHandle(source);
        return nullptr;
      }
      opened.began = true;
    }
    sources_.push_back(std::move(opened));
    return handle;
  }

  // Commits (or, when the save failed, rolls back) and gives the
  // connections back; true when everything was committed.
  bool Finish(bool saved) {
    for (const Source& source : sources_) {
      if (source.began) {
        if (saved && !CommitTransaction(source.handle)) {
          LogError("Cannot commit the changes on data source %s.\n", source.name.c_str());
          saved = false;
        } else if (!saved) {
          RollbackTransaction(source.handle);
        }
      }
      ReleaseConnectionHandle(source.name.c_str());
    }
    sources_.clear();
    return saved;
  }

 private:
  struct Source {
    std::string name;
    DBConnection* handle;
    bool began;
  };
  std::vector<Source> sources_;
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
    const std::optional<std::vector<const char*>> tables = SortTableByFK(GetTableList(object));
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
