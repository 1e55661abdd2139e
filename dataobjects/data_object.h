#pragma once
// Data objects ("DO" in the store's messages): detached copies of related
// rows of several tables, fetched by one query, changed by their one owner
// and written back. Rows are grouped per table (RowCollection) in foreign-key
// order, parents first; each row (RowUnit) is known by its key string, made
// of the table name and the texts of its primary-key values so that two
// rows share one only when they are the same row, and found through the
// object's key table.
//
// Everything an object holds (collections, rows, values, keys, lists) lives
// in the object's own memory pool: letting the DataObjectPtr go releases it
// all in one step. Values handed out by the reading operations are views
// into the pool and live as long as the object. Table and column names are
// compared exactly inside a data object.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/memory_pool.h"
#include "store/stored_value.h"
#include "store/table_defn.h"

namespace kv {

constexpr std::uint32_t DATA_OBJECT_KEY_BUCKETS = 100;

struct RowCollection;

struct RowUnit {
  const char* tableName = nullptr;
  std::int32_t valueCount = 0;
  // In the order of the collection's columns; null data is NULL.
  StoredValue* values = nullptr;
  std::uint8_t state = 0;
  RowUnit* next = nullptr;
  // Set when the row unit joins a collection: where it is and its key.
  RowCollection* collection = nullptr;
  const char* keyString = nullptr;
};

struct RowCollection {
  const char* tableName = nullptr;
  const TableDefn* tableDefn = nullptr;
  // The selected columns, followed by a null entry, and their type codes.
  const char** columnNames = nullptr;
  const std::uint8_t* columnTypes = nullptr;
  std::int32_t columnCount = 0;
  RowUnit* firstRow = nullptr;
  RowUnit* lastRow = nullptr;
  RowUnit* rowCursor = nullptr;
  RowCollection* next = nullptr;

  // The position of a selected column (exact name), or -1.
  [[nodiscard]] std::int32_t ColumnIndex(const char* name) const;
};

struct KeyEntry {
  const char* key;
  RowUnit* row;
  KeyEntry* next;
};

struct DataObject {
  MemoryPool pool{16 * 1024};
  // DATA_OBJECT_KEY_BUCKETS chains of key string -> row unit.
  KeyEntry** keyBuckets = nullptr;
  std::int32_t tableCount = 0;
  // In the order of the table list.
  RowCollection* firstCollection = nullptr;
  RowCollection* lastCollection = nullptr;
  // The collection last looked up.
  RowCollection* collectionCursor = nullptr;
};

using DataObjectPtr = std::unique_ptr<DataObject>;

// An empty object with its pool and key table; null with "\nMEMORY
// ALLOCATION FOR DATAOBJECT FAILED\n".
DataObjectPtr CreateDataObject();

// The key string of a row of a collection, in the object's pool: the table
// name, then "|" and the text of each primary-key value in key order, with
// "\", "|" and NUL in the name and the texts escaped by "\" and a NULL
// value written "\N" ("ORDERS|12|3"; a table without key columns: its name
// alone). Distinct key values give distinct key strings. Null with "No
// Primary Keys mentioned for table %s. \n" when the table has no
// constraint record, or when a key value has no text.
const char* GenerateKeyString(DataObject& object, const RowCollection& collection, const StoredValue* values);

enum class KeyInsert : std::uint8_t { kInserted, kPresent, kFailed };
// Registers a row unit under its key (CheckForPKEntry); kPresent leaves the
// key table as it was.
KeyInsert CheckForPKEntry(DataObject& object, const char* key, RowUnit* row);
// The row unit registered under a key, or null.
RowUnit* LookUpKey(const DataObject& object, const char* key);

// Building by hand.
// Appends a collection and its table; false with "Cannot add Row Collection
// to DO.  Row Collection is NULL.\n" for a null one.
[[nodiscard]] bool AddRowCollectionToDO(DataObject* object, RowCollection* collection);
// A collection of the table's definition with the given columns (a null
// list: every column), in the object's pool but not yet added. Null with
// "All Primary key columns were not selected.\n" when a key column is not
// among them, or when a column or the table is unknown.
RowCollection* CreateRowCollection(DataObject* object, const char* tableName, const char* const* columns);
// CreateRowCollection and AddRowCollectionToDO.
[[nodiscard]] bool AddTableToDO(DataObject* object, const char* tableName, const char* const* columns = nullptr);
// Lists in the object's pool: column names followed by a null entry, value
// texts (null entries stay null) and lengths.
const char** MakeColumnList(DataObject& object, std::initializer_list<const char*> names);
std::span<const char*> MakeStringColumnValuesList(DataObject& object, std::initializer_list<const char*> values);
std::span<std::int32_t> MakeLengthList(DataObject& object, std::initializer_list<std::int32_t> lengths);

// A row unit of a table, not yet in a collection, holding copies of the
// values (in the order of the table's collection; a null value is NULL).
// Null with "Cannot create rowUnit.\n" when memory runs out.
RowUnit* CreateRowUnit(DataObject* object, const char* tableName, std::span<const StoredValue> values);
// The values given as pointers and lengths, paired by position.
RowUnit* CreateRowUnit(DataObject* object, const char* tableName, std::span<const char* const> values,
                       std::span<const std::int32_t> lengths);
// Adds a new row unit to its table's collection: NULL values of columns
// with a generator take the next identifier, those with a default the
// default; the row unit gets state 2. False when the table is not in the
// object or a row with its key is there already (nothing changes then).
[[nodiscard]] bool InsertRowUnit(RowUnit* rowUnit, DataObject* object);
[[nodiscard]] bool InsertRowIntoDO(DataObject* object, const char* tableName, std::span<const char* const> values,
                     std::span<const std::int32_t> lengths);
[[nodiscard]] bool InsertRowIntoDO(DataObject* object, const char* tableName, std::span<const StoredValue> values);
// Each text converted by its column's type.
[[nodiscard]] bool InsertStringRowIntoDO(DataObject* object, const char* tableName, std::span<const char* const> texts);

// Changing.
// The stored row unit with the same key takes the given one's values and
// the modified bit.
[[nodiscard]] bool UpdateRowUnit(RowUnit* rowUnit, DataObject* object);
// Sets the deleted bit of the stored row unit with the same key, which stays
// in its collection.
[[nodiscard]] bool DeleteRowUnit(RowUnit* rowUnit, DataObject* object);
// Sets the deleted bit of every row unit of the table for which the
// criteria (the store's criteria language) holds; false when it does not
// parse or a row unit cannot be read as a row of its table.
[[nodiscard]] bool DeleteRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria);
// The first row unit of the table for which the criteria holds, or null.
RowUnit* FindRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria);
// A copy of the value in a column of the table's last row unit, or of all
// its row units, with the modified bit.
[[nodiscard]] bool SetValueForRowUnit(const char* columnName, const char* tableName, const char* value, std::int32_t length,
                        DataObject* object);
[[nodiscard]] bool SetValueForAllRowUnits(const char* columnName, const char* tableName, const char* value, std::int32_t length,
                            DataObject* object);

// Reading.
std::vector<const char*> GetTableList(const DataObject* object);
[[nodiscard]] bool ContainsTableInDO(const DataObject* object, const char* tableName);
// The table's collection, which becomes the object's cursor; null with
// "Table %s is not present in DO.\n".
RowCollection* GetRowCollection(DataObject* object, const char* tableName);
RowUnit* GetFirstRowUnit(DataObject* object, const char* tableName);
RowUnit* GetLastRowUnit(DataObject* object, const char* tableName);
// n counted from 1.
RowUnit* GetNthRowUnit(DataObject* object, std::int32_t n, const char* tableName);
// Moves the collection's row cursor to its first row unit when it is
// unset, else to the next; null past the last.
RowUnit* GotoNextRowUnit(RowCollection* collection);
// The stored row unit with the same key as the given one.
RowUnit* FindRowUnit(DataObject* object, const RowUnit* rowUnit);
// The column's value in the table's first row unit (null data: NULL or not
// there).
StoredValue GetFirstValue(DataObject* object, const char* columnName, const char* tableName);
// Copies of the column's value in every row unit of the table (nothing for
// NULL); empty when the table or column is not there.
std::vector<std::optional<std::string>> GetColumnValuesFromDO(DataObject* object, const char* columnName,
                                                              const char* tableName);
// A copy of the column's value in the n-th row unit (n from 1); nothing for
// NULL or when it is not there.
std::optional<std::string> GetColumnValueFromDO(DataObject* object, const char* tableName, const char* columnName,
                                                std::int32_t n);
std::vector<const char*> GetColumnListFromDO(DataObject* object, const char* tableName);
[[nodiscard]] bool IsDOEmpty(const DataObject* object);

// A row unit as a row of its table, in the table's full column order: a
// selected non-NULL value, else the column's default, else NULL for a
// nullable column. Nothing with "Cannot save RowUnit. Column %s is not not
// nullable and does not have a default value\n" otherwise. The values are
// views of the object's pool and the dictionary.
struct TableRow {
  std::vector<StoredValue> values;
  // 1 for the columns whose value the row unit holds.
  std::vector<std::uint8_t> selected;
  std::uint8_t state = 0;
};
std::optional<TableRow> GetRowObjectFromRowUnit(const RowUnit* rowUnit, const DataObject* object);

// The object's contents as the text PrintDataObject logs.
std::string DataObjectText(const DataObject* object);
// Logs the object (DEBUG).
void PrintDataObject(const DataObject* object);

}  // namespace kv
