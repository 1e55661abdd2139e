#pragma once
// Reading one data-dictionary file with libxml2's text reader: every
// well-formed `table` element becomes a definition in the dictionary; a
// table with an error is left out with its message, and the tables before
// and after it are still loaded.

#include <string_view>

namespace kv {

// Parses the file at path (a Windows or host path) and appends its tables
// to the dictionary.
void XmlDataParser(const char* path);
// The same for a document in memory; name is how messages name it.
void XmlDataParserMemory(std::string_view document, const char* name);

}  // namespace kv
