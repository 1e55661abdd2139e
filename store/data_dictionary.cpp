#include "store/data_dictionary.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "store/dictionary_reader.h"
#include "store/store_root.h"
#include "store/value_text.h"

namespace kv {
namespace {

constexpr const char* kListFile = "datadictionary.txt";
constexpr const char* kDashLine = "---------------------------------------\n\n";
constexpr const char* kStarLine = "********************************\n";

struct StreamCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

// How the paths of the list and of the files it names are made.
using PathOf = std::string (*)(const std::string& base, const char* name);

std::string BackslashJoin(const std::string& base, const char* name) { return Format("%s\\%s", base.c_str(), name); }
std::string RootDataJoin(const std::string& root, const char* name) { return Format("%s/data/%s", root.c_str(), name); }
std::string RelativeData(const std::string&, const char* name) { return std::string("..\\data\\") + name; }

// The next whitespace-separated word of the stream, however long.
std::optional<std::string> NextWord(std::FILE* stream) {
  int c;
  do c = std::fgetc(stream);
  while (c != EOF && std::isspace(c));
  if (c == EOF) return std::nullopt;
  std::string word;
  do {
    word.push_back(static_cast<char>(c));
    c = std::fgetc(stream);
  } while (c != EOF && !std::isspace(c));
  return word;
}

// Loads every file the open list names, each path made by pathOf.
void LoadListedFiles(std::FILE* list, PathOf pathOf, const std::string& base) {
  while (const std::optional<std::string> word = NextWord(list)) {
    const std::string path = pathOf(base, word->c_str());
    LogDebug("Opening %s\n", path.c_str());
    // Fails only for a null path; a file that cannot be read is logged.
    (void)LoadDataDictFromXMLFile(path.c_str());
  }
}

// The definition of a name, logging the lookups' messages.
const TableDefn* FindTableForColumn(const char* tableName, const char* columnName) {
  if (!tableName || !columnName) {
    LogError("Cannot fetch default value;\n");
    return nullptr;
  }
  const TableDefn* definition = GetTableDefn(tableName);
  if (!definition) LogError("No definition found for table %s\n", tableName);
  return definition;
}

const ColumnDefn* FindColumn(const TableDefn* definition, const char* columnName) {
  if (!definition || !columnName) return nullptr;
  for (const ColumnDefn& column : definition->columns) {
    if (column.name == columnName) return &column;
  }
  return nullptr;
}

}  // namespace

DataDictionaryState& DataDictionary() {
  static DataDictionaryState state;
  return state;
}

void ResetDataDictionary() { DataDictionary().gv_tableDefnVect.Clear(); }

bool LoadAllDataDictFiles() {
  try {
    Stream list(OpenStream(RelativeData("", kListFile), "r"));
    if (list) {
      LoadListedFiles(list.get(), RelativeData, "");
      return true;
    }
    if (const std::optional<std::string> root = CFennelRoot()) {
      const std::string path = RootDataJoin(*root, kListFile);
      LogDebug("Opening %s\n", path.c_str());
      list.reset(OpenStream(path, "r"));
      if (list) {
        LoadListedFiles(list.get(), RootDataJoin, *root);
        return true;
      }
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return true;
  }
  LogError("Cannot open DataDictionary File.\n");
  return false;
}

bool LoadDataDictFiles(const char* directory) {
  if (!directory) {
    LogError("Cannot open DataDictionary File.\n");
    return false;
  }
  try {
    const std::string base = directory;
    Stream list(OpenStream(BackslashJoin(base, kListFile), "r"));
    if (!list) {
      LogError("Cannot open DataDictionary File.\n");
      return false;
    }
    LoadListedFiles(list.get(), BackslashJoin, base);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}

bool LoadDataDictFromXMLFile(const char* path) {
  if (!path) return false;
  XmlDataParser(path);
  return true;
}

Status ReadDataDictFromXMLFile(const char* path) { return ReadDictionaryFile(path); }

Status ReadDataDictFromHostFile(const char* hostPath, const char* name) {
  return ReadDictionaryHostFile(hostPath, name);
}

bool AddTableDefn(std::unique_ptr<TableDefn> definition) {
  return DataDictionary().gv_tableDefnVect.Append(std::move(definition));
}

const TableDefn* GetTableDefn(const char* tableName) {
  if (!tableName) {
    LogError("Table Name is NULL.\n");
    return nullptr;
  }
  for (const TableDefn& definition : DataDictionary().gv_tableDefnVect) {
    if (AsciiEqualsNoCase(definition.name, tableName)) return &definition;
  }
  return nullptr;
}

const ColumnDefn* GetColumnDefnEntry(const char* tableName, const char* columnName) {
  return FindColumn(FindTableForColumn(tableName, columnName), columnName);
}

std::uint8_t GetColumnType(const char* tableName, const char* columnName) {
  const ColumnDefn* column = GetColumnDefnEntry(tableName, columnName);
  return column ? column->type : 0;
}

StoredValue GetDefaultValue(const char* tableName, const char* columnName, std::uint8_t* found) {
  const ColumnDefn* column = GetColumnDefnEntry(tableName, columnName);
  if (found) *found = column ? 1 : 0;
  return column ? column->DefaultValue() : StoredValue{};
}

const ForeignKeyDefn* GetForeignKeyEntry(const TableDefn* definition, const char* localColumn) {
  if (!definition || !definition->constraints) {
    LogError("No constraint Definition \n");
    return nullptr;
  }
  if (!definition->constraints->foreignKeys) {
    LogError("No Foreignkey Entries in Definition \n");
    return nullptr;
  }
  if (!localColumn) return nullptr;
  for (const ForeignKeyDefn& entry : *definition->constraints->foreignKeys) {
    if (AsciiEqualsNoCase(entry.localColumn, localColumn)) return &entry;
  }
  return nullptr;
}

std::int32_t GetColumnIndex(const TableDefn* definition, const char* columnName) {
  if (!definition || !columnName) return -1;
  std::int32_t index = 0;
  for (const ColumnDefn& column : definition->columns) {
    if (column.name == columnName) return index;
    ++index;
  }
  return -1;
}

void PrintTableDefn(const TableDefn* definition) {
  if (!definition || definition->columns.Empty()) return;
  LogDebug("Table Name : %s\n", definition->name.c_str());
  LogDebug("Description: %s\n", LogText(definition->description));
  LogDebug("%s", kDashLine);
  for (const ColumnDefn& column : definition->columns) {
    LogDebug("Column Name : %s\n", column.name.c_str());
    LogDebug("Column Type : %d\n", column.type);
    LogDebug("Unique Flag : %s\n", column.unique ? "TRUE" : "FALSE");
    LogDebug("Description : %s\n", LogText(column.description));
    LogDebug("%s", kDashLine);
  }
  if (!definition->constraints) return;
  for (const std::string& key : definition->constraints->primaryKeys) LogDebug("Primary key : %s\n\n", key.c_str());
  if (!definition->constraints->foreignKeys) return;
  LogDebug("Foreign key Constraints\n");
  LogDebug("%s", kStarLine);
  for (const ForeignKeyDefn& entry : *definition->constraints->foreignKeys) {
    LogDebug("Column Name : %s\n", entry.localColumn.c_str());
    LogDebug("Ref Column  : %s\n", entry.referenceColumn.c_str());
    LogDebug("Tablename : %s\n", entry.referenceTable.c_str());
    LogDebug("%s", kStarLine);
  }
}

void PrintAllTableDefns() {
  for (const TableDefn& definition : DataDictionary().gv_tableDefnVect) PrintTableDefn(&definition);
}

void FreeTableDefn(const char* tableName) {
  if (!tableName) return;
  for (TableDefn& definition : DataDictionary().gv_tableDefnVect) {
    if (AsciiEqualsNoCase(definition.name, tableName)) {
      (void)DataDictionary().gv_tableDefnVect.Remove(&definition);  // it is held: found by walking the list
      return;
    }
  }
}

void FreeAllTableDefns() { DataDictionary().gv_tableDefnVect.Clear(); }

}  // namespace kv
