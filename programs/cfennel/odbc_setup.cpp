#include "odbc_setup.h"

#include <cctype>
#include <memory>
#include <optional>

#include "db/data_file.h"
#include "platform/files.h"
#include "platform/odbc_configuration.h"
#include "store/value_text.h"

namespace kv {
namespace {

// A Database value that names a file relative to where it is read from.
bool IsRelativePath(std::string_view value) {
  return !value.empty() && value.find(':') == std::string_view::npos && value.front() != '/' && value.front() != '\\';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

// A line of odbc.ini as the run's configuration has it.
std::string RunLine(const std::string& line, const std::string& dataDirectory) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos || !AsciiEqualsNoCase(Trimmed(std::string_view(line).substr(0, equals)), "Database"))
    return line;
  const std::string_view value = Trimmed(std::string_view(line).substr(equals + 1));
  if (!IsRelativePath(value)) return line;
  return "Database=" + MapPath(dataDirectory + "\\" + std::string(value));
}

// Copies a file line by line, each line as edit makes it; false when either
// file cannot be opened or written.
template <class Edit>
bool CopyLines(const std::string& from, const std::string& to, Edit edit) {
  const DataFile in(OpenStream(from, "r"));
  const DataFile out(in ? OpenStream(to, "w") : nullptr);
  if (!out) return false;
  while (const std::optional<std::string> line = ReadDataLine(in.get()))
    if (std::fprintf(out.get(), "%s\n", edit(*line).c_str()) < 0) return false;
  return std::fflush(out.get()) == 0;
}

}  // namespace

std::string UseDataDirectoryOdbc(const std::string& root, const RunDirectory& run) {
  const std::string data = root + "\\data";
  if (GetFileAttributes(data + "\\odbc.ini") == INVALID_FILE_ATTRIBUTES) return {};
  if (!run.made()) return "no directory for the run's ODBC configuration";
  const std::string dataSources = run.path() + "\\odbc.ini";
  if (!CopyLines(data + "\\odbc.ini", dataSources, [&](const std::string& line) { return RunLine(line, data); }))
    return "cannot copy " + data + "\\odbc.ini";
  const std::string drivers = data + "\\odbcinst.ini";
  if (GetFileAttributes(drivers) != INVALID_FILE_ATTRIBUTES &&
      !CopyLines(drivers, run.path() + "\\odbcinst.ini", [](const std::string& line) { return line; }))
    return "cannot copy " + drivers;
  // Where the configuration cannot be set so (Windows), the system's data
  // sources serve.
  (void)UseOdbcConfigurationDirectory(run.path());
  return {};
}

}  // namespace kv
