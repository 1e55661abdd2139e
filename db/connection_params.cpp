#include "db/connection_params.h"

#include <algorithm>
#include <charconv>
#include <new>

#include "base/log_writer.h"
#include "db/data_file.h"
#include "db/database_state.h"
#include "store/value_text.h"

namespace kv {
namespace {

constexpr std::size_t kConnParamsWords = 10;

bool HasOverlongWord(const std::vector<std::string_view>& words) {
  return std::any_of(words.begin(), words.end(),
                     [](std::string_view word) { return word.size() > DATA_FILE_WORD_MAX; });
}

std::optional<std::uint16_t> ParsePort(std::string_view word) {
  unsigned value = 0;
  const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
  if (result.ec != std::errc() || result.ptr != word.data() + word.size() || value > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

// The entry of one line of ten words or more; nothing (logged) when a word
// is too long, the port is no number or the connection string too long.
std::optional<ConnParamsEntry> MakeConnParamsEntry(const LineWords& line, int number) {
  const auto& words = line.words;
  if (HasOverlongWord(words)) {
    LogError("Connection Parameters line %d skipped: a word is longer than %d characters.\n", number,
             static_cast<int>(DATA_FILE_WORD_MAX));
    return std::nullopt;
  }
  const std::optional<std::uint16_t> port = ParsePort(words[1]);
  if (!port) {
    LogError("Connection Parameters line %d skipped: %.*s is no port number.\n", number,
             static_cast<int>(words[1].size()), words[1].data());
    return std::nullopt;
  }
  ConnParamsEntry entry;
  entry.host = words[0];
  entry.port = *port;
  entry.dsn = words[2];
  entry.user = words[3];
  if (words[4] != "NULL") entry.password = std::string(words[4]);
  entry.connectionName = words[6];
  entry.providerName = words[7];
  entry.databaseType = words[8];
  entry.explicitString = AsciiEqualsNoCase(words[9], "YES") ? 1 : 0;
  if (entry.explicitString) {
    // A connection string cut short would connect somewhere else.
    if (line.rest.size() > CONNECTION_STRING_MAX) {
      LogError("Connection Parameters line %d skipped: the connection string is longer than %d characters.\n", number,
               static_cast<int>(CONNECTION_STRING_MAX));
      return std::nullopt;
    }
    entry.connectionString = line.rest;
  }
  return entry;
}

// Appends an entry to one of the lists; false when memory runs out.
template <class Entry>
bool AppendEntry(std::vector<Entry>& list, Entry entry) {
  try {
    list.push_back(std::move(entry));
    return true;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

}  // namespace

bool LoadDataSourceMapEntryFromFile(const char* path) {
  LogTrace("@@@ Inside LoadDataSourceMapEntryFromFile @@@\n");
  const DataFile file = OpenDataFile(path, "dsn_table_map.txt");
  if (!file) {
    LogError("Cannot open DataSourceMap Entry File.\n");
    return false;
  }
  try {
    int number = 0;
    while (const std::optional<std::string> line = ReadDataLine(file.get())) {
      ++number;
      const LineWords split = SplitLine(*line, 2);
      if (split.words.empty()) continue;
      if (split.words.size() < 2) {
        LogError("DataSourceMap line %d has no data source: reading stops.\n", number);
        break;
      }
      if (HasOverlongWord(split.words)) {
        LogError("DataSourceMap line %d skipped: a word is longer than %d characters.\n", number,
                 static_cast<int>(DATA_FILE_WORD_MAX));
        continue;
      }
      DatabaseAccess().dataSourceMap.push_back({std::string(split.words[0]), std::string(split.words[1])});
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}

const DataSourceMapEntry* GetDataSourceMapEntry(const char* tableName) {
  if (!tableName) return nullptr;
  for (const DataSourceMapEntry& entry : DatabaseAccess().dataSourceMap)
    if (SafeStrICmp(entry.tableName.c_str(), tableName) == 0) return &entry;
  return nullptr;
}

bool CreateDataSourceMapEntry(const char* tableName, const char* dataSourceName) {
  if (!tableName || !dataSourceName) return false;
  return AddDataSourceMapEntry({tableName, dataSourceName});
}

bool AddDataSourceMapEntry(DataSourceMapEntry entry) {
  return AppendEntry(DatabaseAccess().dataSourceMap, std::move(entry));
}

bool DeleteDataSourceMapEntry(const char* tableName) {
  auto& map = DatabaseAccess().dataSourceMap;
  const DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
  if (!entry) return false;
  map.erase(map.begin() + (entry - map.data()));
  return true;
}

void FreeAllDataSourceMapEntries() { DatabaseAccess().dataSourceMap.clear(); }

bool LoadConnParamsEntryFromFile(const char* path) {
  const DataFile file = OpenDataFile(path, "connparams.txt");
  if (!file) {
    LogError("Cannot open Connection Parameters File.\n");
    return false;
  }
  try {
    int number = 0;
    while (const std::optional<std::string> line = ReadDataLine(file.get())) {
      ++number;
      const LineWords split = SplitLine(*line, kConnParamsWords);
      if (split.words.empty()) continue;
      if (split.words.size() < kConnParamsWords) {
        LogError("Connection Parameters line %d has %d of %d words: reading stops.\n", number,
                 static_cast<int>(split.words.size()), static_cast<int>(kConnParamsWords));
        break;
      }
      if (std::optional<ConnParamsEntry> entry = MakeConnParamsEntry(split, number))
        DatabaseAccess().connParams.push_back(std::move(*entry));
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}

bool AddConnParamsEntry(ConnParamsEntry entry) { return AppendEntry(DatabaseAccess().connParams, std::move(entry)); }

const ConnParamsEntry* GetConnParamsEntry(const char* connectionName) {
  if (!connectionName) return nullptr;
  for (const ConnParamsEntry& entry : DatabaseAccess().connParams)
    if (entry.connectionName == connectionName) return &entry;
  return nullptr;
}

const char* GetDefaultConnectionName() {
  const auto& entries = DatabaseAccess().connParams;
  if (entries.empty() || entries.front().connectionName.empty()) {
    LogError("Connection Name IS NULL\n");
    return nullptr;
  }
  return entries.front().connectionName.c_str();
}

bool FreeConnParamsEntry(const char* connectionName) {
  auto& entries = DatabaseAccess().connParams;
  const ConnParamsEntry* entry = GetConnParamsEntry(connectionName);
  if (!entry) return false;
  entries.erase(entries.begin() + (entry - entries.data()));
  return true;
}

void FreeAllConnParamsEntries() { DatabaseAccess().connParams.clear(); }

}  // namespace kv
