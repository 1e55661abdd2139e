#pragma once
// The plain text data files of database access, read a line at a time: a
// file named by the caller, or the file of that name in the store's data
// directory, and each line's words (separated by blanks) with the rest of
// the line after them.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct DataFileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using DataFile = std::unique_ptr<std::FILE, DataFileCloser>;

// Opens path, else "<root>/data/<fileName>" (logging "Opening %s\n"); null
// when neither opens.
DataFile OpenDataFile(const char* path, const char* fileName);

// The next line without its line break (a carriage return before it goes
// too), however long; nothing at the end of the file.
std::optional<std::string> ReadDataLine(std::FILE* file);

struct LineWords {
  std::vector<std::string_view> words;
  // What follows the separator after the last word taken.
  std::string_view rest;
};
// Up to count words of a line and the rest after them.
LineWords SplitLine(std::string_view line, std::size_t count);

}  // namespace kv
