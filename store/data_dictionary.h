#pragma once
// The data dictionary: the schema of the store, read once from the XML
// files that "datadictionary.txt" names and kept as one process-wide list of
// table definitions until the store shuts down. Table names are looked up
// without regard to case, column names inside a table with regard to it.
// Loading a second definition of a name appends it; lookups find the first.

#include <cstdint>
#include <string_view>

#include "base/status.h"
#include "store/stored_value.h"
#include "store/table_defn.h"
#include "store/vector.h"

namespace kv {

struct DataDictionaryState {
  // In load order.
  VectorOf<TableDefn> gv_tableDefnVect;
};

DataDictionaryState& DataDictionary();
// Frees every definition (tests; shutdown uses FreeAllTableDefns).
void ResetDataDictionary();

// Reads "datadictionary.txt" ("..\data\datadictionary.txt", else under the
// store's root directory) and loads every file it names. False only when
// the list cannot be opened.
[[nodiscard]] bool LoadAllDataDictFiles();
// The same with the list and the files in directory ("%s\%s").
[[nodiscard]] bool LoadDataDictFiles(const char* directory);
// Parses one dictionary file and appends the tables it defines; true when a
// path is given (the file's own errors are logged, not returned).
bool LoadDataDictFromXMLFile(const char* path);
// The same with the reason a document could not be read to its end; a file
// of this computer that a person names is read likewise (name is how
// messages name it).
Status ReadDataDictFromXMLFile(const char* path);
Status ReadDataDictFromHostFile(const char* hostPath, const char* name);
// Adds a definition built elsewhere (the dictionary reader); false when
// memory runs out.
[[nodiscard]] bool AddTableDefn(std::unique_ptr<TableDefn> definition);

const TableDefn* GetTableDefn(const char* tableName);
const ColumnDefn* GetColumnDefnEntry(const char* tableName, const char* columnName);
// The column's type code; 0 when it is not found.
[[nodiscard]] std::uint8_t GetColumnType(const char* tableName, const char* columnName);
// The stored default value (null data: none); found is 1 when the column
// exists, else 0.
StoredValue GetDefaultValue(const char* tableName, const char* columnName, std::uint8_t* found);
// The first foreign key whose local column is localColumn (any case).
const ForeignKeyDefn* GetForeignKeyEntry(const TableDefn* definition, const char* localColumn);
// The position of a column (by its exact name) in its table, or -1.
[[nodiscard]] std::int32_t GetColumnIndex(const TableDefn* definition, const char* columnName);

// DEBUG dumps.
void PrintTableDefn(const TableDefn* definition);
void PrintAllTableDefns();

// Remove the first definition of a name (any case), or all of them.
void FreeTableDefn(const char* tableName);
void FreeAllTableDefns();

}  // namespace kv
