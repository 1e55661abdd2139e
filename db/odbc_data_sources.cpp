#include "db/odbc_data_sources.h"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/log_writer.h"
#include "db/connection_params.h"
#include "db/data_file.h"
#include "platform/files.h"
#include "platform/odbc.h"
#include "store/value_text.h"

namespace kv {
namespace {

using Attributes = std::vector<std::pair<const char*, std::string>>;

bool IsGiven(const char* value) { return value && !AsciiEqualsNoCase(value, "NULL"); }

// "KEY=value" texts each ended by a NUL, and a NUL after the last: the form
// the installer takes attributes in.
std::string AttributeList(const Attributes& attributes) {
  std::string list;
  for (const auto& [key, value] : attributes) {
    list += key;
    list += "=";
    list += value;
    list.push_back('\0');
  }
  list.push_back('\0');
  return list;
}

// Enters the data source and its attributes in the data-source list.
bool WriteDataSource(const char* dsn, const char* driver, const Attributes& attributes) {
  if (!SQLWriteDSNToIni(dsn, driver)) return false;
  for (const auto& [key, value] : attributes) {
    if (std::string(key) == "DSN") continue;
    if (!SQLWritePrivateProfileString(dsn, key, value.c_str(), "odbc.ini")) return false;
  }
  return true;
}

bool AddDataSource(const char* dsn, const Attributes& attributes, const char* driver) {
  const std::string list = AttributeList(attributes);
  if (SQLConfigDataSource(nullptr, ODBC_ADD_DSN, driver, list.c_str())) return true;
  // Without a set-up routine in the driver the installer cannot add the
  // data source itself; its profile functions write the same entry.
  if (WriteDataSource(dsn, driver, attributes)) {
    LogDebug("Data source %s written for driver %s\n", dsn, driver);
    return true;
  }
  LogError("SQLConfigDataSource returned FALSE \n");
  return false;
}

// The data source of one line of a data-source file; false when the line
// has no driver, a word is too long or the data source cannot be made.
bool CreateDSNFromLine(const LineWords& line) {
  std::string_view driver = line.rest;
  while (!driver.empty() && (driver.front() == ' ' || driver.front() == '\t')) driver.remove_prefix(1);
  if (driver.empty() || driver.size() > CONNECTION_STRING_MAX) return false;
  std::vector<std::string> words;
  for (const std::string_view word : line.words) {
    if (word.size() > DATA_FILE_WORD_MAX) return false;
    words.emplace_back(word);
  }
  return CreateDSN(words[0].c_str(), words[1].c_str(), words[2].c_str(), words[3].c_str(), words[4].c_str(),
                   words[5].c_str(), std::string(driver).c_str());
}

}  // namespace

bool CreateDSN(const char* dsn, const char* description, const char* server, const char* user, const char* password,
               const char* database, const char* driver) {
  if (!driver || !dsn) {
    LogError("DriverName or DSN name is NULL \n");
    return false;
  }
  try {
    Attributes attributes;
    const std::pair<const char*, const char*> pairs[] = {{"DSN", dsn},       {"DESCRIPTION", description},
                                                         {"SERVER", server}, {"UID", user},
                                                         {"PWD", password},  {"DATABASE", database}};
    for (const auto& [key, value] : pairs)
      if (IsGiven(value)) attributes.emplace_back(key, value);
    return AddDataSource(dsn, attributes, driver);
  } catch (const std::bad_alloc&) {
    LogError("Unable to Allocate and copy dsnStr \n");
    return false;
  }
}

bool CreateDSNFromFile(const char* path) {
  const DataFile file(path ? OpenStream(path, "r") : nullptr);
  if (!file) {
    LogError("Error opening File %s \n", LogText(path));
    return false;
  }
  try {
    while (const std::optional<std::string> line = ReadDataLine(file.get())) {
      const LineWords split = SplitLine(*line, 6);
      if (split.words.empty()) continue;
      if (split.words.size() < 6) break;
      if (!CreateDSNFromLine(split))
        LogError("Creating DSN %.*s Failed\n", static_cast<int>(split.words[0].size()), split.words[0].data());
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}

}  // namespace kv
