// Personality configuration files read into the process-wide list.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "base/failure_capture.h"
#include "base/log_writer.h"
#include "dataobjects/index_table.h"
#include "dataobjects/personality.h"
#include "db/sql_builder.h"
#include "platform/files.h"
#include "store/data_dictionary.h"
#include "store/value_text.h"
#include "store/xml_text.h"

namespace kv {
namespace {

struct DocumentFree {
  void operator()(xmlDocPtr document) const { xmlFreeDoc(document); }
};

// An element as the file gives it: its name and its attributes in order.
struct DoNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
};

bool Is(const std::string& name, const char* expected) { return AsciiEqualsNoCase(name, expected); }

void CreateDoNodeAndSave(xmlDocPtr document, xmlNodePtr element, std::vector<DoNode>& nodes) {
  DoNode node{reinterpret_cast<const char*>(element->name), {}};
  for (xmlAttrPtr attribute = element->properties; attribute; attribute = attribute->next) {
    xmlChar* value = xmlNodeListGetString(document, attribute->children, 1);
    node.attributes.emplace_back(reinterpret_cast<const char*>(attribute->name),
                                 value ? reinterpret_cast<const char*>(value) : "");
    xmlFree(value);
  }
  nodes.push_back(std::move(node));
}

// Every element below node, in document order.
void TraverseNodes(xmlDocPtr document, xmlNodePtr node, std::vector<DoNode>& nodes) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    CreateDoNodeAndSave(document, node, nodes);
    TraverseNodes(document, node->children, nodes);
  }
}

std::int32_t Decimal(const std::string& text) {
  std::int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

void ReadConstituent(const DoNode& node, ConstituentTable& constituent) {
  for (const auto& [name, value] : node.attributes) {
    if (Is(name, "tableindex")) {
      constituent.tableIndex = Decimal(value);
      if (value == "0") break;
    } else if (Is(name, "tableid")) {
      constituent.tableName = value;
    } else if (Is(name, "fkconstraint_id")) {
      constituent.foreignKey = value;
    } else if (Is(name, "mandatory")) {
      constituent.mandatory = Is(value, "false") ? 0 : 1;
    }
  }
}

// A personality and the constituents that follow it into personality; next
// moves past them.
Status CreatePersonalityDefn(const std::vector<DoNode>& nodes, std::size_t& next,
                             std::unique_ptr<PersonalityDefn>& personality) {
  personality = std::make_unique<PersonalityDefn>();
  for (const auto& [name, value] : nodes[next].attributes) {
    if (Is(name, "personalityname"))
      personality->name = value;
    else if (Is(name, "description"))
      personality->description = value;
    else if (Is(name, "dominanttableid"))
      personality->dominantTable = value;
  }
  for (++next; next < nodes.size() && Is(nodes[next].name, "ConstituentTable"); ++next) {
    auto constituent = std::make_unique<ConstituentTable>();
    ReadConstituent(nodes[next], *constituent);
    if (Is(constituent->tableName, personality->dominantTable.c_str())) continue;
    constituent->dominantTable = personality->dominantTable.c_str();
    const std::string table = constituent->tableName;
    if (!personality->constituents.Append(std::move(constituent)))
      return LogFailure(Status::Code::kOutOfMemory, "Cannot Add constituent table %s into constituentTableVect.\n",
                        table.c_str());
  }
  return Status::Ok();
}

// The dominant tables whose index table the nodes ask for; a table not yet
// named when isindexed comes is none.
std::vector<std::optional<std::string>> IndexRequests(const std::vector<DoNode>& nodes) {
  std::vector<std::optional<std::string>> requests;
  for (const DoNode& node : nodes) {
    if (!Is(node.name, "DominantTableConfig")) continue;
    std::optional<std::string> dominant;
    for (const auto& [name, value] : node.attributes) {
      if (Is(name, "DOMINANTTABLEID"))
        dominant = value;
      else if (Is(name, "isindexed") && Is(value, "true"))
        requests.push_back(dominant);
    }
  }
  return requests;
}

// The personalities of the nodes, each constituent linked to its dominant
// table, then the index tables; nothing is kept unless all of them are.
Status CreateFromNodes(const std::vector<DoNode>& nodes) {
  std::vector<std::unique_ptr<PersonalityDefn>> personalities;
  for (std::size_t next = 0; next < nodes.size();) {
    if (!Is(nodes[next].name, "PersonalityConfiguration")) {
      ++next;
      continue;
    }
    std::unique_ptr<PersonalityDefn> personality;
    if (Status made = CreatePersonalityDefn(nodes, next, personality); !made.ok()) return made;
    // A personality is fetched through its dominant table: one the
    // dictionary lacks (a misspelt or missing dominanttableid) could never be.
    if (!GetTableDefn(personality->dominantTable.c_str()))
      return LogFailure(Status::Code::kNotFound, "No table definition found for %s.\n",
                        personality->dominantTable.c_str());
    for (const ConstituentTable& constituent : personality->constituents) {
      const FailureCapture unlinked;
      if (!ConstituentLink(*personality, constituent))
        return unlinked.StatusOf(false, "Constituent table " + constituent.tableName + " is not linked");
    }
    personalities.push_back(std::move(personality));
  }
  for (const std::optional<std::string>& dominant : IndexRequests(nodes)) {
    const FailureCapture refusal;
    if (!CreateIndexTable(dominant ? dominant->c_str() : nullptr))
      return refusal.StatusOf(false, "The index table of " + dominant.value_or("no table") + " cannot be made");
  }
  VectorOf<PersonalityDefn>& list = *Personalities().gv_personalityDefnVect;
  for (std::unique_ptr<PersonalityDefn>& personality : personalities) {
    const std::string name = personality->name;
    if (!list.Append(std::move(personality)))
      return LogFailure(Status::Code::kOutOfMemory, "Cannot Add personality %s into gv_personalityDefnVect.\n",
                        name.c_str());
  }
  return Status::Ok();
}

}  // namespace

namespace {

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Parses with read (which answers the document, or null) and takes the
// personalities of the document; name is how messages name it.
template <class Read>
Status ReadPersonalities(const char* name, Read read) {
  if (const int initialised = InitPersonality(); initialised != STORE_SUCCESS)
    return Status::Failure("MEMORY_ALLOCATION_FAILURE", Status::Code::kOutOfMemory);  // logged by InitPersonality
  QuietXmlErrors();
  xmlResetLastError();  // what is found below is this document's reason
  const std::unique_ptr<xmlDoc, DocumentFree> document(name ? read() : nullptr);
  if (!document)
    return LogFailureAfter(name ? XmlErrorStatus(xmlGetLastError(), "") : Status(), "Could not parse file %s\n",
                           LogText(name));
  try {
    std::vector<DoNode> nodes;
    TraverseNodes(document.get(), xmlDocGetRootElement(document.get()), nodes);
    return CreateFromNodes(nodes);
  } catch (const std::bad_alloc&) {
    return LogFailure(Status::Code::kOutOfMemory, "MEMORY_ALLOCATION_FAILURE\n");
  }
}

}  // namespace

Status ReadPersonalityFile(const char* path) {
  return ReadPersonalities(path, [path] { return xmlReadFile(MapPath(path).c_str(), nullptr, kParseOptions); });
}

Status ReadPersonalityHostFile(const char* hostPath, const char* name) {
  return ReadPersonalities(name, [hostPath] { return xmlReadFile(hostPath, nullptr, kParseOptions); });
}

int CreatePersonalityFromXMLFile(const char* path) { return StoreResult(ReadPersonalityFile(path)); }

}  // namespace kv
