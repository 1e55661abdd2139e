#pragma once
// The files of the store's data directory. Each is looked for first as
// "..\data\<name>" from the current directory and then, logging
// "Opening %s\n", as "<root>/data/<name>" under the store's root. Files a
// list names are found in the directory the list was found in.

#include <cstdio>
#include <optional>
#include <string>

#include "db/data_file.h"

namespace kv {

// The store's data files.
inline constexpr const char* kDataDictionaryList = "datadictionary.txt";
inline constexpr const char* kDataSourceMapFile = "dsn_table_map.txt";
inline constexpr const char* kConnParamsFile = "connparams.txt";
inline constexpr const char* kLoadTableList = "loadtablelist.txt";
inline constexpr const char* kSaveTablesList = "savetableslist.txt";
inline constexpr const char* kDefaultDataList = "defaultdata.txt";

// "..\data\<name>", the first place a data file is looked for.
std::string RelativeDataPath(const char* name);

struct StoreDataFile {
  DataFile file;  // null when neither place has the file
  // What a name is appended to for a file beside it.
  std::string directory;
};
StoreDataFile OpenStoreDataFile(const char* name);

// A list entry is one line of at most this many characters.
inline constexpr std::size_t kListLineMax = 254;

// The next line of a list without its line end; a longer line is logged
// (with the list's name and the line's number) and left out. Nothing at the
// end of the file.
std::optional<std::string> ReadListLine(std::FILE* list, const char* listName, int& lineNumber);

}  // namespace kv
