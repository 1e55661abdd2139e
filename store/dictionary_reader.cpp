// The first pass over a dictionary file: libxml2's text reader walks each
// `table` element and the walk records what it meets as a tag tree, in the
// shape the definition builder expects. The shape is checked as the reader
// goes: an element that is not where the format puts it, or a text element
// that holds another element, ends the table's walk with its message.

#include "store/dictionary_reader.h"

#include <libxml/xmlreader.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "base/failure_capture.h"
#include "base/log_writer.h"
#include "platform/files.h"
#include "store/data_dictionary.h"
#include "store/xml_tag_info.h"
#include "store/xml_text.h"

namespace kv {
namespace {

// The attributes the reader asks every element for, in this order.
constexpr const char* kAttributeNames[] = {"name", "system", "reference-table-name", "isbidirectional"};

// Messages of the elements whose end tag must follow their text.
constexpr const char* kMissingPrimaryKeyColumnEnd = "\nMissing primary-key-column end tag\n";
constexpr const char* kMissingLocalColumnEnd = "\n Missing endof FK-LOCAL-COLUMN tag\n";
constexpr const char* kMissingReferenceColumnEnd = "\nMissing endof FK-REFERENCE-COLUMN\n";
constexpr const char* kMissingFkColumnsEnd = "\nMissing end FK-COLUMNS\n";
constexpr const char* kMissingFkConstraintsEnd = "\nMissing endof FK-CONSTRAINTS tag\n";
constexpr const char* kMissingValueEnd = "\n No ending Value tag\n";
constexpr const char* kMissingFromEnd = "\nNo Ending FROM tag \n";
constexpr const char* kMissingToEnd = "\nNo ending TO tag \n";

struct XmlFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;

struct ReaderFree {
  void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};

const char* AsText(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

class TableWalker {
 public:
  explicit TableWalker(xmlTextReaderPtr reader) : reader_(reader) {}

  // The tag tree of the `table` element the reader is on.
  bool ReadTable(XmlTagInfo& table) {
    if (Name() != "table") {
      LogError("\nTABLE tag missing\n");
      return false;
    }
    StartNode(table);
    tableName_ = table.Attribute("name") ? *table.Attribute("name") : std::string();
    LogTrace("@@@@Parsing Table Info : %s @@@@\n", table.Attribute("name") ? tableName_.c_str() : kNullLogText);
    int rank = -1;  // description, columns, primary-key, foreign-keys: each once, in this order
    return ForEachChild([&](std::string_view name) {
      const int childRank = name == "description"    ? 0
                            : name == "columns"      ? 1
                            : name == "primary-key"  ? 2
                            : name == "foreign-keys" ? 3
                                                     : -1;
      if (childRank <= rank) return Unexpected(name);
      rank = childRank;
      XmlTagInfo& child = table.children.emplace_back();
      switch (childRank) {
        case 0: return ReadTextElement(child, nullptr);
        case 1: return ReadColumns(child);
        case 2: return ReadPrimaryKey(child);
        default: return ReadForeignKeys(child);
      }
    });
  }

  // Moves on to the end of the element at depth (after a walk that stopped
  // inside it); false when the reader fails on the way.
  bool SkipToEndOf(int depth) {
    while (xmlTextReaderDepth(reader_) > depth || xmlTextReaderNodeType(reader_) != XML_READER_TYPE_END_ELEMENT) {
      if (xmlTextReaderRead(reader_) != 1) return false;
    }
    return true;
  }

 private:
  std::string_view Name() const {
    const xmlChar* name = xmlTextReaderConstName(reader_);
    return name ? std::string_view(AsText(name)) : std::string_view();
  }

  bool Read() {
    if (xmlTextReaderRead(reader_) == 1) return true;
    LogError("\nxmlTextReaderRead returned error \n");
    return false;
  }

  // The node's name and the attributes the reader asks for.
  void StartNode(XmlTagInfo& node) {
    node.tagName = Name();
    for (const char* attribute : kAttributeNames) {
      XmlText value(xmlTextReaderGetAttribute(reader_, reinterpret_cast<const xmlChar*>(attribute)));
      if (!value) continue;
      node.attributeNames.emplace_back(attribute);
      node.attributeValues.emplace_back(AsText(value.get()));
    }
    if (xmlTextReaderAttributeCount(reader_) > static_cast<int>(node.attributeNames.size()))
      LogError("\n Not all Attributes were read\n");
  }

  bool Unexpected(std::string_view name) {
    if (name == "description")
      LogError("\nDescription tag ambiguity \n");
    else
      LogError("\nUnexpected tag %.*s in table %s\n", static_cast<int>(name.size()), name.data(), tableName_.c_str());
    return false;
  }

  // Calls onChild for each child element of the element the reader is on,
  // with the reader on the child; stops at the element's end tag. Text,
  // blanks and comments between the children are passed over.
  template <class OnChild>
  bool ForEachChild(OnChild onChild) {
    if (xmlTextReaderIsEmptyElement(reader_) == 1) return true;
    const int depth = xmlTextReaderDepth(reader_);
    while (Read()) {
      const int type = xmlTextReaderNodeType(reader_);
      if (type == XML_READER_TYPE_END_ELEMENT && xmlTextReaderDepth(reader_) == depth) return true;
      if (type == XML_READER_TYPE_ELEMENT && !onChild(Name())) return false;
    }
    return false;
  }

  // An element that holds only text: its text (when it has any) becomes one
  // value of node. Another element inside it fails with missingEnd (null:
  // the general message).
  bool ReadTextElement(XmlTagInfo& node, const char* missingEnd) {
    StartNode(node);
    return AppendText(node, missingEnd);
  }

  bool AppendText(XmlTagInfo& node, const char* missingEnd) {
    if (xmlTextReaderIsEmptyElement(reader_) == 1) return true;
    const int depth = xmlTextReaderDepth(reader_);
    const std::string name(Name());
    std::string text;
    bool hasText = false;
    while (Read()) {
      switch (xmlTextReaderNodeType(reader_)) {
        case XML_READER_TYPE_END_ELEMENT:
          if (xmlTextReaderDepth(reader_) != depth) break;
          if (hasText) node.values.push_back(std::move(text));
          return true;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
          if (const xmlChar* value = xmlTextReaderConstValue(reader_)) text += AsText(value);
          hasText = true;
          continue;
        case XML_READER_TYPE_COMMENT:
        case XML_READER_TYPE_PROCESSING_INSTRUCTION: continue;
        default: break;
      }
      if (missingEnd)
        LogError("%s", missingEnd);
      else
        LogError("\nMissing end tag of %s in table %s\n", name.c_str(), tableName_.c_str());
      return false;
    }
    return false;
  }

  bool ReadColumns(XmlTagInfo& columns) {
    StartNode(columns);
    return ForEachChild([&](std::string_view name) {
      if (name != "column") return Unexpected(name);
      return ReadColumn(columns.children.emplace_back());
    });
  }

  // A column's properties become its children, in document order; the
  // generator name and the allowed values are lifted out of their wrappers.
  bool ReadColumn(XmlTagInfo& column) {
    StartNode(column);
    return ForEachChild([&](std::string_view name) {
      if (name == "description" || name == "data-type" || name == "nullable" || name == "max-size" ||
          name == "default-value" || name == "unique")
        return ReadTextElement(column.children.emplace_back(), nullptr);
      if (name == "uniquevalue-generation") return ReadGenerator(column);
      if (name == "allowed-values") return ReadAllowedValues(column);
      return Unexpected(name);
    });
  }

  bool ReadGenerator(XmlTagInfo& column) {
    return ForEachChild([&](std::string_view name) {
      if (name != "generator-name") return Unexpected(name);
      return ReadTextElement(column.children.emplace_back(), nullptr);
    });
  }

  // Either `value` elements, whose texts all go into one `value` record, or
  // a `from` and a `to` record.
  bool ReadAllowedValues(XmlTagInfo& column) {
    std::size_t list = 0;  // position of the `value` record among the column's children, plus one
    return ForEachChild([&](std::string_view name) {
      if (name == "value") {
        if (!list) {
          column.children.emplace_back().tagName = "value";
          list = column.children.size();
        }
        XmlTagInfo& values = column.children[list - 1];
        // An empty value is an empty text, not a missing one.
        const std::size_t before = values.values.size();
        if (!AppendText(values, kMissingValueEnd)) return false;
        if (values.values.size() == before) values.values.emplace_back();
        return true;
      }
      if (name == "from") return ReadTextElement(column.children.emplace_back(), kMissingFromEnd);
      if (name == "to") return ReadTextElement(column.children.emplace_back(), kMissingToEnd);
      return Unexpected(name);
    });
  }

  bool ReadPrimaryKey(XmlTagInfo& primaryKey) {
    StartNode(primaryKey);
    return ForEachChild([&](std::string_view name) {
      if (name != "primary-key-column") return Unexpected(name);
      return ReadTextElement(primaryKey.children.emplace_back(), kMissingPrimaryKeyColumnEnd);
    });
  }

  bool ReadForeignKeys(XmlTagInfo& foreignKeys) {
    StartNode(foreignKeys);
    return ForEachChild([&](std::string_view name) {
      if (name != "foreign-key") return Unexpected(name);
      return ReadForeignKey(foreignKeys.children.emplace_back());
    });
  }

  bool ReadForeignKey(XmlTagInfo& foreignKey) {
    StartNode(foreignKey);
    bool columnsSeen = false;
    return ForEachChild([&](std::string_view name) {
      if (name == "fk-columns" && !columnsSeen) {
        columnsSeen = true;
        return ReadFkColumns(foreignKey.children.emplace_back());
      }
      if (name == "fk-constraints" && columnsSeen)
        return ReadTextElement(foreignKey.children.emplace_back(), kMissingFkConstraintsEnd);
      return Unexpected(name);
    });
  }

  bool ReadFkColumns(XmlTagInfo& fkColumns) {
    StartNode(fkColumns);
    return ForEachChild([&](std::string_view name) {
      if (name != "fk-column") {
        LogError("%s", kMissingFkColumnsEnd);
        return false;
      }
      XmlTagInfo& fkColumn = fkColumns.children.emplace_back();
      StartNode(fkColumn);
      return ForEachChild([&](std::string_view part) {
        if (part == "fk-local-column") return ReadTextElement(fkColumn.children.emplace_back(), kMissingLocalColumnEnd);
        if (part == "fk-reference-column")
          return ReadTextElement(fkColumn.children.emplace_back(), kMissingReferenceColumnEnd);
        return Unexpected(part);
      });
    });
  }

  xmlTextReaderPtr reader_;
  std::string tableName_;
};

// Builds and adds the definition of one table tree.
void AddTable(const XmlTagInfo& table) {
  std::unique_ptr<TableDefn> definition = BuildTableDefn(table);
  if (!definition) return;
  if (!AddTableDefn(std::move(definition))) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return;
  }
  LogTrace("\t@@@@ Loaded Table definition Successfully @@@@\n");
}

// A top-level `description`: its text is read and dropped. False when the
// reader fails after it.
bool SkipDescription(xmlTextReaderPtr reader) {
  if (xmlTextReaderIsEmptyElement(reader) == 1) return true;
  if (xmlTextReaderRead(reader) != 1) return false;
  if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_END_ELEMENT) return true;
  return xmlTextReaderRead(reader) == 1;
}

// libxml2's first complaint about a document, and where the parser was.
struct FirstXmlError {
  xmlTextReaderPtr reader;
  Status status;
};

void RecordXmlError(void* arg, const char* message, xmlParserSeverities, xmlTextReaderLocatorPtr) {
  auto* first = static_cast<FirstXmlError*>(arg);
  if (!first->status.ok() || !message) return;
  first->status = XmlFaultAt(xmlTextReaderGetParserLineNumber(first->reader),
                             xmlTextReaderGetParserColumnNumber(first->reader), message);
}

// Reads the tables of one document; documentName is how messages name it.
Status ParseDictionary(std::unique_ptr<xmlTextReader, ReaderFree> reader, const char* documentName) {
  if (!reader) {
    LogError("Unable to open %s\n", documentName);
    return Status::Failure("the file cannot be read", Status::Code::kNotFound);
  }
  FirstXmlError first{reader.get(), Status::Ok()};
  xmlTextReaderSetErrorHandler(reader.get(), RecordXmlError, &first);

  // The root element and the node after it.
  int result = xmlTextReaderRead(reader.get());
  if (result == 1) result = xmlTextReaderRead(reader.get());
  while (result == 1) {
    const int type = xmlTextReaderNodeType(reader.get());
    const xmlChar* rawName = xmlTextReaderConstName(reader.get());
    const std::string_view name = rawName ? AsText(rawName) : "";
    if (type == XML_READER_TYPE_ELEMENT && name == "table") {
      const int depth = xmlTextReaderDepth(reader.get());
      bool walked = false;
      try {
        XmlTagInfo table;
        TableWalker walker(reader.get());
        walked = walker.ReadTable(table);
        if (walked) AddTable(table);
        if (!walked && !walker.SkipToEndOf(depth)) {
          result = -1;
          break;
        }
      } catch (const std::bad_alloc&) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        if (!TableWalker(reader.get()).SkipToEndOf(depth)) {
          result = -1;
          break;
        }
      }
    } else if (type == XML_READER_TYPE_ELEMENT && name == "description" && xmlTextReaderDepth(reader.get()) == 1) {
      if (!SkipDescription(reader.get())) {
        LogError("\nNo Description end tag\n");
        result = -1;
        break;
      }
    }
    result = xmlTextReaderRead(reader.get());
  }
  if (result != 0) return LogFailureAfter(first.status, "%s : failed to parse\n", documentName);
  return Status::Ok();
}

}  // namespace

Status ReadDictionaryFile(const char* path) {
  if (!path) return Status::Failure("no file named", Status::Code::kInvalid);
  return ReadDictionaryHostFile(MapPath(path).c_str(), path);
}

Status ReadDictionaryHostFile(const char* hostPath, const char* name) {
  return ParseDictionary(std::unique_ptr<xmlTextReader, ReaderFree>(xmlNewTextReaderFilename(hostPath)), name);
}

void XmlDataParser(const char* path) { (void)ReadDictionaryFile(path); }  // its failures are logged

}  // namespace kv
