// Fuzz target for the store's data files: the same bytes read as
// "connparams.txt", as "dsn_table_map.txt" and as a list (load, save and
// default-data lists) never crash a reader, and every entry they keep holds
// words within the files' limits.

#include <cstddef>
#include <cstdint>
#include <string>

#include "db/connection_params.h"
#include "db/data_file.h"
#include "dbstore/data_files.h"
#include "fuzz_support.h"
#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::WriteInputFile("data.txt", bytes);
  FreeAllConnParamsEntries();
  FreeAllDataSourceMapEntries();
  if (!LoadConnParamsEntryFromFile(path.c_str()) || !LoadDataSourceMapEntryFromFile(path.c_str()))
    fuzz::Broken("data_files_fuzz", "a file that opens refused", bytes);
  const ConnParamsEntry* entry = GetConnParamsEntry(GetDefaultConnectionName());
  if (entry && (entry->connectionName.size() > DATA_FILE_WORD_MAX || entry->dsn.size() > DATA_FILE_WORD_MAX ||
                entry->connectionString.size() > CONNECTION_STRING_MAX))
    fuzz::Broken("data_files_fuzz", "a connection entry past the limits", bytes);
  DataFile list = OpenDataFile(path.c_str(), kDefaultDataList);
  if (!list) fuzz::Broken("data_files_fuzz", "a list that does not open", bytes);
  int lineNumber = 0;
  while (const std::optional<std::string> line = ReadListLine(list.get(), kDefaultDataList, lineNumber)) {
    if (line->size() > kListLineMax) fuzz::Broken("data_files_fuzz", "a list line past its limit", bytes);
    for (std::size_t count : {std::size_t{1}, std::size_t{10}, std::string::npos}) (void)SplitLine(*line, count);
  }
  FreeAllConnParamsEntries();
  FreeAllDataSourceMapEntries();
  return 0;
}
