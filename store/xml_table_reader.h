#pragma once
// Tables built from XML table documents. The root element is a container;
// every element below it, at any depth, is a row of the table named like
// the element (without regard to case), its attributes the values of the
// columns named like them. An element that names no table is a container
// when its name contains "List" and stops the construction otherwise.
// Reference texts ("TABLE:COLUMN:key") in key columns become generated
// identifiers, the same text the same identifier throughout one document.
// Rows added before a failure stay in their tables.

#include <libxml/tree.h>

#include <cstddef>
#include <memory>

#include "base/status.h"
#include "store/hash_table.h"

namespace kv {

[[nodiscard]] bool ConstructTableDataFromXMLFile(const char* path);
[[nodiscard]] bool ConstructTableDataFromXMLBuffer(const char* buffer, std::size_t length);
// The same, with the reason of a failure: the ERROR entries it logged, in
// their order, on one line. A document is read as libxml2's text reader
// streams it, each row added once its element's start tag is read: memory
// goes to the rows and to the elements open at the time, never to a tree of
// the whole document, and a fault libxml2 finds ends the reading there.
Status ReadTableDocumentFile(const char* path);
Status ReadTableDocumentBuffer(const char* buffer, std::size_t length);
// The same for a file of this computer that a person names (not the
// machine's).
Status ReadTableDocumentHostFile(const char* hostPath);
// The rows of the children of a node of a parsed document; the identifier
// map of the run (reference text -> identifier), or null on failure.
std::unique_ptr<HashTable> ConstructTableDataFromXMLNode(xmlDocPtr document, xmlNodePtr node);

}  // namespace kv
