#pragma once
// Reading one data-dictionary file with libxml2's text reader: every
// well-formed `table` element becomes a definition in the dictionary; a
// table with an error is left out with its message, and the tables before
// and after it are still loaded.

#include <string_view>

#include "base/status.h"

namespace kv {

// Parses the file at path (a Windows or host path) and appends its tables
// to the dictionary.
void XmlDataParser(const char* path);
// The same, with the reason why the document could not be read to its end
// (libxml2's, with its line and column); a table left out for an error of
// its own leaves the document's Status alone (its reason is logged). A
// file of this computer that a person names (not the machine's) is read
// likewise; name is how messages name it.
Status ReadDictionaryFile(const char* path);
Status ReadDictionaryHostFile(const char* hostPath, const char* name);

}  // namespace kv
