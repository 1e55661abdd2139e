#include "store/xml_table_reader.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/failure_capture.h"
#include "base/log_writer.h"
#include "base/text_format.h"
#include "platform/files.h"
#include "store/column_types.h"
#include "store/column_value.h"
#include "store/data_dictionary.h"
#include "store/reference_text.h"
#include "store/table_data.h"
#include "store/value_text.h"
#include "store/xml_text.h"

namespace kv {
namespace {

constexpr const char* kRowFailure = "Cannot create and add a new row while constructing tabledata from XML file.\n";
constexpr const char* kParseFailure = "error: could not parse file file.xml\n";
// No network, and libxml2 reports nothing of its own: the store logs why.
// The reader never changes the nodes, so short texts may live inside them
// (one allocation less for most attribute values). Entity references stay
// references (no XML_PARSE_NOENT): the reader expands those in attribute
// values itself, within kMaxEntityText, and elements inside a reference in
// content are no rows.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

std::string_view AsView(const xmlChar* text) {
  return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

struct XmlFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
struct TextReaderFree {
  void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};
using TextReader = std::unique_ptr<xmlTextReader, TextReaderFree>;
struct DocumentFree {
  void operator()(xmlDocPtr document) const { xmlFreeDoc(document); }
};
struct ContextFree {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct ErrorFree {
  void operator()(xmlErrorPtr error) const {
    xmlResetError(error);
    delete error;
  }
};

// Entity references in attribute values may nest, and each level may
// multiply the text ("billion laughs"): what they add over one document is
// bounded, and a document past the bound is refused.
constexpr std::size_t kMaxEntityText = std::size_t{16} << 20;
constexpr int kMaxEntityNesting = 40;

struct EntityTextLimit {};

// Attribute texts of the row being built: a text of one text node is read
// in place, any other is assembled here (each entity reference replaced by
// its text, in time linear in the result) and kept until Clear.
class AttributeTexts {
 public:
  // Throws EntityTextLimit past the document's bound.
  std::string_view Of(xmlAttrPtr attribute) {
    const xmlNode* child = attribute->children;
    if (!child) return std::string_view("");
    if (child->type == XML_TEXT_NODE && !child->next) return AsView(child->content);
    std::string& text = *owned_.emplace_back(std::make_unique<std::string>());
    Append(attribute->doc, child, text, 0);
    return text;
  }
  void Clear() { owned_.clear(); }

 private:
  // Appends the text of a list of nodes, each entity reference replaced by
  // its own text; nesting counts the references the list lies inside.
  void Append(xmlDoc* document, const xmlNode* node, std::string& out, int nesting) {
    for (; node; node = node->next) {
      if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        Add(out, AsView(node->content), nesting > 0);
        continue;
      }
      if (node->type != XML_ENTITY_REF_NODE) continue;
      const xmlEntity* entity = xmlGetDocEntity(document, node->name);
      if (!entity) {
        Add(out, AsView(node->content), nesting > 0);
      } else if (nesting >= kMaxEntityNesting) {
        throw EntityTextLimit();
      } else if (entity->children) {
        Append(document, entity->children, out, nesting + 1);
      } else {
        Add(out, AsView(entity->content), true);
      }
    }
  }

  void Add(std::string& out, std::string_view text, bool fromEntity) {
    if (fromEntity) {
      if (text.size() > entityRoom_) throw EntityTextLimit();
      entityRoom_ -= text.size();
    }
    out += text;
  }

  std::vector<std::unique_ptr<std::string>> owned_;
  std::size_t entityRoom_ = kMaxEntityText;
};

// An attribute of an element named like `name` (without regard to case).
xmlAttrPtr FindAttribute(const xmlNode* element, std::string_view name) {
  for (xmlAttrPtr attribute = element->properties; attribute; attribute = attribute->next) {
    if (AsciiEqualsNoCase(AsView(attribute->name), name)) return attribute;
  }
  return nullptr;
}

xmlAttrPtr FindAttribute(std::span<const xmlAttrPtr> attributes, std::string_view name) {
  for (xmlAttrPtr attribute : attributes) {
    if (AsciiEqualsNoCase(AsView(attribute->name), name)) return attribute;
  }
  return nullptr;
}

// The attributes a row is built from, whichever walk found its element: the
// element's own, and for a key column it lacks, those of the elements it
// lies inside.
class ElementAttributes {
 public:
  // The element's own attributes, in document order.
  virtual std::span<const xmlAttrPtr> Own() const = 0;
  // The attribute named like `name` of the nearest enclosing element that
  // has one, or null.
  virtual xmlAttrPtr Enclosing(std::string_view name) const = 0;

 protected:
  ~ElementAttributes() = default;
};

// An element of a whole tree: its ancestors are its parents.
class TreeElement final : public ElementAttributes {
 public:
  // own: room for the element's attributes, reused from element to element.
  TreeElement(const xmlNode* element, std::vector<xmlAttrPtr>& own) : element_(element), own_(own) {
    own_.clear();
    for (xmlAttrPtr attribute = element->properties; attribute; attribute = attribute->next)
      own_.push_back(attribute);
  }
  std::span<const xmlAttrPtr> Own() const override { return own_; }
  xmlAttrPtr Enclosing(std::string_view name) const override {
    for (const xmlNode* ancestor = element_->parent; ancestor && ancestor->type == XML_ELEMENT_NODE;
         ancestor = ancestor->parent) {
      if (xmlAttrPtr attribute = FindAttribute(ancestor, name)) return attribute;
    }
    return nullptr;
  }

 private:
  const xmlNode* element_;
  std::vector<xmlAttrPtr>& own_;
};

// The elements open at the text reader's position, the root first, each
// with its attributes: all that the reader keeps of a document while it
// reads it, so that memory goes to the rows and not to the document. The
// text reader frees an element's nodes only once past its end, so the
// attributes of the open ones stay valid.
class OpenElements final : public ElementAttributes {
 public:
  std::size_t Depth() const { return starts_.size(); }

  // Opens the element at the reader's position with its attributes;
  // leaves the reader on the element.
  void Open(xmlTextReaderPtr reader) {
    starts_.push_back(attributes_.size());
    for (int more = xmlTextReaderMoveToFirstAttribute(reader); more == 1;
         more = xmlTextReaderMoveToNextAttribute(reader)) {
      // Namespace declarations come first, and are no attributes of the row.
      xmlNodePtr node = xmlTextReaderCurrentNode(reader);
      if (node && node->type == XML_ATTRIBUTE_NODE) attributes_.push_back(reinterpret_cast<xmlAttrPtr>(node));
    }
    xmlTextReaderMoveToElement(reader);
  }
  void Close() {
    if (starts_.empty()) return;
    attributes_.resize(starts_.back());
    starts_.pop_back();
  }

  // Of the element opened last.
  std::span<const xmlAttrPtr> Own() const override {
    return std::span<const xmlAttrPtr>(attributes_).subspan(starts_.back());
  }
  xmlAttrPtr Enclosing(std::string_view name) const override {
    for (std::size_t level = starts_.size() - 1; level-- > 0;) {
      const std::span<const xmlAttrPtr> attributes =
          std::span<const xmlAttrPtr>(attributes_).subspan(starts_[level], starts_[level + 1] - starts_[level]);
      if (xmlAttrPtr attribute = FindAttribute(attributes, name)) return attribute;
    }
    return nullptr;
  }

 private:
  std::vector<xmlAttrPtr> attributes_;  // of every open element, the root's first
  std::vector<std::size_t> starts_;     // where the attributes of each open element begin
};

// A key entry filled from the nearest ancestor element that has an
// attribute named like `attribute`: a foreign key's reference column, or a
// primary-key column itself.
struct KeyEntry {
  std::string_view attribute;
  std::int32_t column;
};

// What the reader keeps of one table for the rows of a document.
struct TableReading {
  TableData* table = nullptr;  // null: a container element
  std::vector<const ColumnDefn*> columns;
  std::vector<KeyEntry> foreignKeys;
  std::vector<KeyEntry> primaryKeys;
  // Attribute names seen (as libxml2 holds them) and their column, or -1.
  std::vector<std::pair<const xmlChar*, std::int32_t>> attributeColumns;

  std::int32_t ColumnOf(const xmlChar* attributeName) {
    for (const auto& [name, column] : attributeColumns) {
      if (name == attributeName) return column;
    }
    const std::string_view wanted = AsView(attributeName);
    std::int32_t found = -1;
    for (std::size_t i = 0; i < columns.size() && found < 0; ++i) {
      if (AsciiEqualsNoCase(columns[i]->name, wanted)) found = static_cast<std::int32_t>(i);
    }
    if (attributeColumns.size() < 64) attributeColumns.emplace_back(attributeName, found);
    return found;
  }
};

std::int32_t ColumnIndex(const std::vector<const ColumnDefn*>& columns, std::string_view name) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (AsciiEqualsNoCase(columns[i]->name, name)) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::unique_ptr<TableReading> ReadingOf(TableData* table) {
  auto reading = std::make_unique<TableReading>();
  reading->table = table;
  const TableDefn& definition = *table->tableDefn;
  for (const ColumnDefn& column : definition.columns) reading->columns.push_back(&column);
  if (!definition.constraints) return reading;
  auto isForeignKeyColumn = [&](std::string_view name) {
    if (!definition.constraints->foreignKeys) return false;
    for (const ForeignKeyDefn& key : *definition.constraints->foreignKeys) {
      if (AsciiEqualsNoCase(key.localColumn, name)) return true;
    }
    return false;
  };
  if (definition.constraints->foreignKeys) {
    for (const ForeignKeyDefn& key : *definition.constraints->foreignKeys) {
      const std::int32_t column = ColumnIndex(reading->columns, key.localColumn);
      if (column >= 0) reading->foreignKeys.push_back(KeyEntry{key.referenceColumn, column});
    }
  }
  for (const std::string& key : definition.constraints->primaryKeys) {
    const std::int32_t column = ColumnIndex(reading->columns, key);
    if (column >= 0 && !isForeignKeyColumn(key)) reading->primaryKeys.push_back(KeyEntry{key, column});
  }
  return reading;
}

// One construction run over the elements of a document.
class DocumentReader {
 public:
  DocumentReader() : references_(std::make_unique<HashTable>()) {
    if (!InitHashTable(references_.get(), IDENTIFIER_MAP_BUCKETS)) throw std::bad_alloc();
  }

  // The rows of the element chain from node on, each followed by those of
  // its children (depth first, document order). The walk keeps no stack of
  // its own: a caller's tree may be deeper than the call stack.
  Status AddRowsFromXMLNodes(xmlNodePtr node) {
    const xmlNode* end = node ? node->parent : nullptr;
    while (node) {
      if (node->type == XML_ELEMENT_NODE) {
        if (Status row = AddRowOf(node->name, TreeElement(node, own_)); !row.ok()) return row;
        if (node->children) {
          node = node->children;
          continue;
        }
      }
      while (!node->next) {
        node = node->parent;
        if (node == end) return Status::Ok();
      }
      node = node->next;
    }
    return Status::Ok();
  }

  // The row of an element named name, unless it is a container; a failure
  // says so after the reason.
  Status AddRowOf(const xmlChar* name, const ElementAttributes& element) {
    Status row = CreateRow(name, element);
    return row.ok() ? row : LogFailureAfter(row, "%s", kRowFailure);
  }

  std::unique_ptr<HashTable> TakeReferences() { return std::move(references_); }

 private:
  Status CreateRow(const xmlChar* name, const ElementAttributes& element) {
    try {
      TableReading* reading = nullptr;
      if (Status named = Reading(name, reading); !named.ok()) return named;
      if (!reading->table) return Status::Ok();  // a container
      return AddRow(*reading, element);
    } catch (const std::bad_alloc&) {
      return LogFailure(Status::Code::kOutOfMemory, "MEMORY_ALLOCATION_FAILURE\n");
    } catch (const EntityTextLimit&) {
      return LogFailure(Status::Code::kInvalid,
                        "Entity references in attribute values add more than %d bytes: the document is refused.\n",
                        static_cast<int>(kMaxEntityText));
    }
  }

  // The reading of an element's table into reading, made on its first row;
  // a container has no table; a failure for an element that names neither.
  Status Reading(const xmlChar* elementName, TableReading*& reading) {
    if (last_ && lastName_ == elementName) {
      reading = last_;
      return Status::Ok();
    }
    const std::string_view name = AsView(elementName);
    auto known = readings_.find(name);
    if (known == readings_.end()) {
      const std::string tableName(name);
      TableData* table = GetTableDataByName(tableName.c_str());
      if (!table && CreateTable(tableName.c_str())) table = GetTableDataByName(tableName.c_str());
      std::unique_ptr<TableReading> made;
      if (table && table->kind == TABLE_DATA_KIND_TABLE && table->tableDefn) {
        made = ReadingOf(table);
      } else if (!table && name.find("List") != std::string_view::npos) {
        made = std::make_unique<TableReading>();
      } else {
        return LogFailure(Status::Code::kNotFound, "CreateRowFromXMLNode : %s is neither a table nor a list\n",
                          tableName.c_str());
      }
      known = readings_.emplace(name, std::move(made)).first;
    }
    last_ = known->second.get();
    lastName_ = elementName;
    reading = last_;
    return Status::Ok();
  }

  // The text an ancestor gives a key entry: the nearest ancestor element
  // with an attribute of the entry's name.
  std::optional<std::string_view> FromAncestors(const ElementAttributes& element, std::string_view attributeName) {
    if (xmlAttrPtr attribute = element.Enclosing(attributeName)) return texts_.Of(attribute);
    return std::nullopt;
  }

  // The text a column without an attribute inherits: from its foreign key,
  // else from its primary-key entry.
  std::optional<std::string_view> InheritedText(const TableReading& reading, const ElementAttributes& element,
                                                std::int32_t column) {
    for (const KeyEntry& entry : reading.foreignKeys) {
      if (entry.column != column) continue;
      if (std::optional<std::string_view> text = FromAncestors(element, entry.attribute)) return text;
    }
    for (const KeyEntry& entry : reading.primaryKeys) {
      if (entry.column == column) return FromAncestors(element, entry.attribute);
    }
    return std::nullopt;
  }

  Status AddRow(TableReading& reading, const ElementAttributes& element) {
    const std::size_t count = reading.columns.size();
    texts_.Clear();
    if (buffers_.size() < count) buffers_ = std::vector<TypedValueBuffer>(count);
    given_.assign(count, std::nullopt);
    values_.assign(count, StoredValue{});

    for (xmlAttrPtr attribute : element.Own()) {
      const std::int32_t column = reading.ColumnOf(attribute->name);
      if (column >= 0 && !given_[static_cast<std::size_t>(column)])
        given_[static_cast<std::size_t>(column)] = texts_.Of(attribute);
    }
    for (std::size_t i = 0; i < count; ++i) {
      const ColumnDefn& column = *reading.columns[i];
      std::optional<std::string_view> text = given_[i];
      if (!text) text = InheritedText(reading, element, static_cast<std::int32_t>(i));
      if (text) {
        ResolveColumnText(*reading.table->tableDefn, column, *text, *references_, buffers_[i]);
        values_[i] = buffers_[i].value();
      } else if (column.defaultValue) {
        values_[i] = column.DefaultValue();
      }
    }
    // The table says itself why it refuses a row.
    const FailureCapture refusal;
    if (AddNewRow(reading.table, values_)) return Status::Ok();
    return refusal.StatusOf(false, "the row was not added");
  }

  std::unique_ptr<HashTable> references_;
  std::unordered_map<std::string_view, std::unique_ptr<TableReading>> readings_;
  TableReading* last_ = nullptr;
  const xmlChar* lastName_ = nullptr;
  AttributeTexts texts_;
  std::vector<TypedValueBuffer> buffers_;
  std::vector<std::optional<std::string_view>> given_;
  std::vector<StoredValue> values_;
  std::vector<xmlAttrPtr> own_;  // of the tree's element being read
};

// The rows below node, and the identifier map of the run into references.
Status ConstructRows(xmlNodePtr firstChild, std::unique_ptr<HashTable>& references) {
  try {
    DocumentReader reader;
    if (Status rows = reader.AddRowsFromXMLNodes(firstChild); !rows.ok()) return rows;
    references = reader.TakeReferences();
    return Status::Ok();
  } catch (const std::bad_alloc&) {
    return LogFailure(Status::Code::kOutOfMemory, "MEMORY_ALLOCATION_FAILURE\n");
  }
}

// Why libxml2 could not read a document: its reason goes to the log with
// the line, and to the caller with the line and column.
Status ReadFailure(const char* operation, const xmlError* error) {
  if (error && error->message) {
    if (error->line > 0)
      LogError("%s : line %d: %s", operation, error->line, error->message);
    else
      LogError("%s : %s", operation, error->message);
  }
  return LogFailureAfter(error && error->message ? XmlErrorStatus(error, "") : Status(), "%s", kParseFailure);
}

// The text reader opens a file without saying why it cannot, and before
// the first element its parser names what it last expected ("Extra content
// at the end of the document" for an empty one). There the document is
// parsed again as a whole, which costs little as it ends before any
// element, for libxml2's own reason: a file that cannot be opened, an empty
// document, no start tag. The reader's reason stands when that parse finds
// none.
template <class Parse>
Status FailureBeforeTheRoot(const char* operation, Parse parse) {
  std::unique_ptr<xmlError, ErrorFree> readers(new xmlError{});
  // (libxml2 before 2.12 takes the error to copy as non-const.)
  if (const xmlError* last = xmlGetLastError(); !last || xmlCopyError(const_cast<xmlErrorPtr>(last), readers.get()) != 0)
    readers.reset();
  std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
  // The options hold from the start: opening the input may fail already.
  if (context) xmlCtxtUseOptions(context.get(), kParseOptions);
  const std::unique_ptr<xmlDoc, DocumentFree> document(context ? parse(context.get()) : nullptr);
  const xmlError* error = context ? xmlCtxtGetLastError(context.get()) : nullptr;
  if (document && xmlDocGetRootElement(document.get())) error = nullptr;
  return ReadFailure(operation, error && error->message ? error : readers.get());
}

// Whether libxml2 can read the whole document, and if not, why (its
// reason is the tree parser's, as for a document parsed whole). The parser
// runs without callbacks: it checks every byte and builds nothing, several
// times faster than any reader that hands nodes out.
template <class Parse>
Status CheckWellFormed(const char* operation, Parse parse) {
  std::unique_ptr<xmlParserCtxt, ContextFree> context(xmlNewParserCtxt());
  if (!context || !context->sax) return ReadFailure(operation, nullptr);
  xmlSAXHandler none{};
  none.initialized = XML_SAX2_MAGIC;
  *context->sax = none;
  // The options hold from the start: opening the input may fail already.
  xmlCtxtUseOptions(context.get(), kParseOptions);
  const std::unique_ptr<xmlDoc, DocumentFree> nothing(parse(context.get()));
  const xmlError* error = xmlCtxtGetLastError(context.get());
  if (context->wellFormed && (!error || error->code == XML_ERR_OK)) return Status::Ok();
  return ReadFailure(operation, error);
}

// Builds the rows of a document as the text reader makeReader gives reads it,
// without a tree of the whole: each element's row is added when its start
// tag has been read. A document libxml2 cannot read to its end adds no row
// (it is checked through once first, which costs far less than a tree); a
// failure while the rows are built leaves the rows before it, as any
// failure of a construction does. parse parses the same input whole, for
// the reason of a failure before the root; failure names the kind of input
// after the reason.
template <class MakeReader, class Parse>
Status ConstructFromReader(const char* operation, MakeReader makeReader, Parse parse, const char* failure) {
  QuietXmlErrors();
  if (Status readable = CheckWellFormed(operation, parse); !readable.ok()) return readable;
  // The reason of a failure is the last one libxml2 gives on this thread,
  // so one left from an earlier document must not pass for it.
  xmlResetLastError();
  const TextReader reader(makeReader());
  if (!reader) return FailureBeforeTheRoot(operation, parse);
  try {
    DocumentReader rows;
    OpenElements elements;
    bool rooted = false;
    int read = 0;
    while ((read = xmlTextReaderRead(reader.get())) == 1) {
      const int type = xmlTextReaderNodeType(reader.get());
      if (type == XML_READER_TYPE_END_ELEMENT) {
        elements.Close();
        continue;
      }
      if (type != XML_READER_TYPE_ELEMENT) continue;
      // Asked before the attributes are visited: on one, the reader says no.
      const bool empty = xmlTextReaderIsEmptyElement(reader.get()) == 1;
      const bool root = elements.Depth() == 0;
      elements.Open(reader.get());
      rooted = true;
      // The root element is the document's container: no row of its own.
      if (!root) {
        if (Status row = rows.AddRowOf(xmlTextReaderConstLocalName(reader.get()), elements); !row.ok())
          return LogFailureAfter(row, "%s", failure);
      }
      if (empty) elements.Close();
    }
    if (!rooted) return FailureBeforeTheRoot(operation, parse);
    if (read < 0) return ReadFailure(operation, xmlGetLastError());
    return Status::Ok();
  } catch (const std::bad_alloc&) {
    return LogFailureAfter(LogFailure(Status::Code::kOutOfMemory, "MEMORY_ALLOCATION_FAILURE\n"), "%s", failure);
  }
}

}  // namespace

namespace {

// A document in a file of this computer: the machine's files are mapped to
// one first.
Status ReadTableDocumentAt(const std::string* hostPath) {
  return ConstructFromReader(
      "ConstructTableDataFromXMLFile",
      [hostPath]() -> xmlTextReaderPtr {
        return hostPath ? xmlReaderForFile(hostPath->c_str(), nullptr, kParseOptions) : nullptr;
      },
      [hostPath](xmlParserCtxtPtr context) -> xmlDocPtr {
        return hostPath ? xmlCtxtReadFile(context, hostPath->c_str(), nullptr, kParseOptions) : nullptr;
      },
      "Cannot construct table data from XML file.\n");
}

}  // namespace

Status ReadTableDocumentFile(const char* path) {
  const std::string hostPath = path ? MapPath(path) : std::string();
  return ReadTableDocumentAt(path ? &hostPath : nullptr);
}

Status ReadTableDocumentHostFile(const char* hostPath) {
  const std::string host = hostPath ? hostPath : "";
  return ReadTableDocumentAt(hostPath ? &host : nullptr);
}

Status ReadTableDocumentBuffer(const char* buffer, std::size_t length) {
  const bool readable = buffer && length <= static_cast<std::size_t>(std::numeric_limits<int>::max());
  return ConstructFromReader(
      "ConstructTableDataFromXMLBuffer",
      [&]() -> xmlTextReaderPtr {
        return readable ? xmlReaderForMemory(buffer, static_cast<int>(length), nullptr, nullptr, kParseOptions)
                        : nullptr;
      },
      [&](xmlParserCtxtPtr context) -> xmlDocPtr {
        return readable ? xmlCtxtReadMemory(context, buffer, static_cast<int>(length), nullptr, nullptr, kParseOptions)
                        : nullptr;
      },
      "Cannot construct table data from XML buffer.\n");
}

bool ConstructTableDataFromXMLFile(const char* path) { return ReadTableDocumentFile(path).ok(); }

bool ConstructTableDataFromXMLBuffer(const char* buffer, std::size_t length) {
  return ReadTableDocumentBuffer(buffer, length).ok();
}

std::unique_ptr<HashTable> ConstructTableDataFromXMLNode(xmlDocPtr document, xmlNodePtr node) {
  std::unique_ptr<HashTable> references;
  if (!document || !node || !ConstructRows(node->children, references).ok()) {
    LogError("Cannot construct table data from buffer node.\n");
    return nullptr;
  }
  return references;
}

}  // namespace kv
