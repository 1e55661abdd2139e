// Default rows written into a fresh database from XML table documents.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

#include "base/log_writer.h"
#include "db/sql_builder.h"
#include "dbstore/data_files.h"
#include "dbstore/table_save.h"
#include "platform/files.h"
#include "store/value_text.h"
#include "store/xml_table_reader.h"

namespace kv {
namespace {

// Tables saved together from one document.
constexpr std::size_t kSaveBatch = 50;

struct DocumentFree {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};

// Saves the tables named by the root's element children: each distinct
// name (without regard to case) once per batch of 50 names, in order of
// first appearance. Rows of tables that appear only nested in other
// elements are not saved here. True when every table was saved whole.
bool SaveTopLevelTables(const xmlNode* root) {
  std::vector<std::string> batch;
  bool saved = true;
  auto saveBatch = [&] {
    for (const std::string& name : batch) {
      SaveCounts counts;
      if (SaveTable(name.c_str(), &counts) != STORE_SUCCESS || counts.failed) {
        LogError("Table %s was not saved whole: %d rows failed.\n", name.c_str(), counts.failed);
        saved = false;
      }
    }
    batch.clear();
  };
  for (const xmlNode* node = root ? root->children : nullptr; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const std::string name(reinterpret_cast<const char*>(node->name));
    bool seen = false;
    for (const std::string& known : batch) seen = seen || AsciiEqualsNoCase(known, name);
    if (seen) continue;
    batch.push_back(name);
    if (batch.size() == kSaveBatch) saveBatch();
  }
  saveBatch();
  return saved;
}

}  // namespace

bool SaveDataInXML(const char* path) {
  return GuardMemory([&]() -> bool {
    if (!path || !ConstructTableDataFromXMLFile(path)) {
      LogError("Cannot create DO from %s.\n", LogText(path));
      return false;
    }
    const std::unique_ptr<xmlDoc, DocumentFree> document(
        xmlReadFile(MapPath(path).c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!document) {
      LogError("Error: could not parse file : %s\n", path);
      return false;
    }
    return SaveTopLevelTables(xmlDocGetRootElement(document.get()));
  });
}

bool SaveDefaultData() {
  return GuardMemory([]() -> bool {
    const StoreDataFile list = OpenStoreDataFile(kDefaultDataList);
    if (!list.file) {
      LogError("No default data to be prepopulated.\n");
      return true;
    }
    bool saved = true;
    while (const std::optional<std::string> line = ReadDataLine(list.file.get())) {
      for (const std::string_view name : SplitLine(*line, std::string::npos).words) {
        const std::string document = list.directory + std::string(name);
        LogDebug("Opening %s\n", document.c_str());
        // Every document is tried; one that fails fails the whole.
        if (!SaveDataInXML(document.c_str())) {
          LogError("Cannot save default data from %s.\n", document.c_str());
          saved = false;
        }
      }
    }
    return saved;
  });
}

}  // namespace kv
