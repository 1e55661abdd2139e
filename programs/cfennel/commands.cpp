#include "commands.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

#include "base/failure_capture.h"
#include "base/text_format.h"
#include "command_context.h"
#include "person_files.h"
#include "criteria_check.h"
#include "store/column_types.h"
#include "store/column_value.h"
#include "store/data_dictionary.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "store/table_text.h"
#include "store/value_text.h"
#include "store/xml_table_reader.h"
#include "store/xml_writers.h"

namespace kv {
namespace {

// The rows of a table that the rest of the line selects (every row when it
// is empty and criteria are optional).
ResultDataPtr Select(Context& context, bool criteriaRequired, const TableDefn*& definition, std::string& criteria,
                     Outcome& failure) {
  definition = NamedTable(context, failure);
  if (!definition) return nullptr;
  criteria = context.words.Rest();
  if (criteria.empty() && criteriaRequired) {
    failure = "missing CRITERIA";
    return nullptr;
  }
  if (!criteria.empty() && (failure = CheckCriteria(*definition, criteria))) return nullptr;
  ResultDataPtr result = SelectRows(definition->name.c_str(), criteria.empty() ? nullptr : criteria.c_str());
  if (!result) failure = context.Reason("criteria not understood: " + criteria);
  return result;
}

std::int32_t LiveRows(const ResultData& result) {
  std::int32_t count = 0;
  for (const ResultNode* node = result.first; node; node = node->next) count += !(node->row->state & ROW_STATE_DELETED);
  return count;
}

Outcome Load(Context& context) {
  const std::optional<std::string> path = context.words.Value();
  if (!path) return context.words.unterminated() ? "unterminated quote" : "missing PATH";
  if (Outcome extra = NoMoreWords(context)) return extra;
  const Status loaded = ReadPersonFile(*path, ReadTableDocumentFile,
                                       [](const char* hostPath, const char*) { return ReadTableDocumentHostFile(hostPath); });
  if (!loaded.ok()) return *path + ": " + std::string(loaded.message());
  return std::nullopt;
}

// select and count.
Outcome Show(Context& context, bool rows) {
  Outcome failure;
  const TableDefn* definition = nullptr;
  std::string criteria;
  ResultDataPtr result = Select(context, false, definition, criteria, failure);
  if (!result) return failure;
  if (!rows) {
    std::fprintf(context.out, "%d\n", LiveRows(*result));
    return std::nullopt;
  }
  PrintResult(context, *result);
  return std::nullopt;
}

Outcome Delete(Context& context) {
  Outcome failure;
  const TableDefn* definition = NamedTable(context, failure);
  if (!definition) return failure;
  const std::string criteria(context.words.Rest());
  if (criteria.empty()) return "missing CRITERIA";
  if (Outcome wrong = CheckCriteria(*definition, criteria)) return wrong;
  if (!DeleteRowObjectByCriteria(definition->name.c_str(), criteria.c_str()))
    return context.Reason("criteria not understood: " + criteria);
  std::fprintf(context.out, "%d\n", CountLiveRows(*GetTableDataByName(definition->name.c_str())));
  return std::nullopt;
}

bool IsDecimal(std::string_view text, bool fraction) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  const std::size_t point = fraction ? text.find('.') : std::string_view::npos;
  const std::string_view whole = text.substr(0, point);
  const std::string_view part = point == std::string_view::npos ? std::string_view("0") : text.substr(point + 1);
  auto digits = [](std::string_view run) {
    return !run.empty() && run.find_first_not_of("0123456789") == std::string_view::npos;
  };
  return digits(whole) && digits(part);
}

// Whether a value text is one the column's type can take as it stands:
// the store's conversion reads what it can of any text.
bool IsValueOf(const std::string& text, std::uint8_t type) {
  if (IsSignedIntegerType(type) || IsUnsignedIntegerType(type)) {
    std::int64_t number = 0;
    const char* begin = text.c_str() + (!text.empty() && text[0] == '+');
    const auto [end, error] = std::from_chars(begin, text.c_str() + text.size(), number);
    const bool wide = type == TARN_SQL_LONG_INT || type == TARN_SQL_UNSIGNED_LONG_INT;
    return IsDecimal(text, false) && error == std::errc() && end == text.c_str() + text.size() &&
           (wide || (number >= INT32_MIN && number <= INT32_MAX));
  }
  if (type == TARN_SQL_FLOAT || type == TARN_SQL_DOUBLE) return IsDecimal(text, true);
  if (type == TARN_SQL_BOOLEAN) return AsciiEqualsNoCase(text, "true") || AsciiEqualsNoCase(text, "false");
  return true;
}

Outcome Update(Context& context) {
  Outcome failure;
  const TableDefn* definition = NamedTable(context, failure);
  if (!definition) return failure;
  const std::string column(context.words.Word());
  if (column.empty()) return "missing COLUMN";
  const ColumnDefn* columnDefn = FindColumn(*definition, column);
  if (!columnDefn) return Format("%s has no column %s", definition->name.c_str(), column.c_str());
  const std::optional<std::string> value = context.words.Value();
  if (!value) return context.words.unterminated() ? "unterminated quote" : "missing VALUE";
  TypedValueBuffer converted;
  if (Outcome wrong = ColumnValue(*value, *columnDefn, converted)) return wrong;
  const std::string criteria(context.words.Rest());
  if (criteria.empty()) return "missing CRITERIA";
  if (Outcome wrong = CheckCriteria(*definition, criteria)) return wrong;
  ResultDataPtr result = SelectRows(definition->name.c_str(), criteria.c_str());
  if (!result) return context.Reason("criteria not understood: " + criteria);
  int changed = 0;
  while (RowObject* row = GotoNextRowObject(result.get())) {
    const StoredValue& stored = converted.value();
    if (!UpdateRowObject(definition->name.c_str(), row, columnDefn->name.c_str(), stored.data, stored.length))
      return context.Reason(Format("cannot change %s", columnDefn->name.c_str()));
    ++changed;
  }
  std::fprintf(context.out, "%d\n", changed);
  return std::nullopt;
}

Outcome Xml(Context& context) {
  Outcome failure;
  const TableDefn* definition = NamedTable(context, failure);
  if (!definition) return failure;
  if (Outcome extra = NoMoreWords(context)) return extra;
  const char* names[] = {definition->name.c_str()};
  const std::string root = definition->name + "List";
  const std::optional<std::string> document = ConvertDOtoXMLBuffer(names, root.c_str());
  if (!document) return context.Reason("cannot write the document");
  std::fputs(document->c_str(), context.out);
  return std::nullopt;
}

// "mode" shows the output mode, "mode NAME" sets it.
Outcome Mode(Context& context) {
  const std::string word(context.words.Word());
  if (Outcome extra = NoMoreWords(context)) return extra;
  if (word.empty()) {
    std::fprintf(context.out, "%s\n", std::string(OutputModeName(context.mode)).c_str());
    return std::nullopt;
  }
  const std::optional<OutputMode> mode = OutputModeNamed(word);
  if (!mode) return "unknown mode " + word + " (tsv, csv, json or table)";
  context.mode = *mode;
  return std::nullopt;
}

Outcome Tables(Context& context) {
  if (Outcome extra = NoMoreWords(context)) return extra;
  for (const TableDefn& definition : DataDictionary().gv_tableDefnVect)
    std::fprintf(context.out, "%s\t%d\n", definition.name.c_str(), definition.columnCount());
  return std::nullopt;
}

Outcome Dispatch(std::string_view command, Context& context) {
  if (command == "load") return Load(context);
  if (command == "select") return Show(context, true);
  if (command == "count") return Show(context, false);
  if (command == "delete") return Delete(context);
  if (command == "update") return Update(context);
  if (command == "xml") return Xml(context);
  if (command == "tables") return Tables(context);
  if (command == "mode") return Mode(context);
  if (command == "loaddb") return LoadFromDatabase(context);
  if (command == "save") return Save(context);
  if (command == "saveall") return SaveAll(context);
  if (command == "insert") return Insert(context);
  if (command == "unload") return Unload(context);
  if (command == "sql") return Sql(context);
  if (command == "personalities") return ReadPersonalities(context);
  if (command == "entity") return Entity(context);
  if (command == "stored") return Stored(context);
  return std::string("unknown command (cfennel --help lists them)");
}

}  // namespace

std::string Context::Reason(const std::string& ours) const {
  return std::string(failures.StatusOf(false, ours).message());
}

const TableDefn* NamedDefinition(Context& context, Outcome& failure) {
  const std::string name(context.words.Word());
  if (name.empty()) {
    failure = "missing TABLE";
    return nullptr;
  }
  const TableDefn* definition = GetTableDefn(name.c_str());
  if (!definition) failure = Format("no table %s in the dictionary", name.c_str());
  return definition;
}

const TableDefn* NamedTable(Context& context, Outcome& failure) {
  const TableDefn* definition = NamedDefinition(context, failure);
  if (!definition) return nullptr;
  if (!GetTableDataByName(definition->name.c_str()) && !CreateTable(definition->name.c_str())) {
    failure = context.Reason(Format("cannot make table %s", definition->name.c_str()));
    return nullptr;
  }
  return definition;
}

Outcome NoMoreWords(Context& context) {
  const std::string_view rest = context.words.Rest();
  if (rest.empty()) return std::nullopt;
  return Format("unexpected text: %.*s", static_cast<int>(rest.size()), rest.data());
}

const ColumnDefn* FindColumn(const TableDefn& definition, const std::string& name) {
  for (const ColumnDefn& column : definition.columns)
    if (AsciiEqualsNoCase(column.name, name)) return &column;
  return nullptr;
}

Outcome ColumnValue(const std::string& text, const ColumnDefn& column, TypedValueBuffer& out) {
  if (text.find('\0') != std::string::npos) return Format("the value for %s holds a NUL byte", column.name.c_str());
  if (!IsValueOf(text, column.type) || !AllocateAndCopyColumnValue(text.c_str(), text.size(), column.type, out))
    return Format("%s is not a value for %s", text.c_str(), column.name.c_str());
  return std::nullopt;
}

void PrintResult(Context& context, const ResultData& result) {
  const ColumnSource columns = result.Columns();
  std::vector<std::string> names;
  for (const char* name : columns.Names()) names.emplace_back(name);
  std::vector<std::uint8_t> types = columns.Types();
  const std::size_t count = types.size();
  RowPrinter printer(context.mode, context.out, std::move(names), std::move(types));
  for (const ResultNode* node = result.first; node; node = node->next)
    if (!(node->row->state & ROW_STATE_DELETED)) printer.Row(std::span<const StoredValue>(node->row->values, count));
  printer.Finish();
}

CommandResult RunCommand(std::string_view line, std::FILE* out, OutputMode& mode) {
  CommandWords words(StatementOf(line));
  CommandResult result;
  result.command = words.Word();
  if (result.command.empty() || result.command.front() == '#') {
    result.command.clear();
    return result;
  }
  FailureCapture failures;
  Context context{words, out, failures, mode};
  if (Outcome failure = Dispatch(result.command, context)) result.status = Status::Failure(std::move(*failure));
  std::fflush(out);
  return result;
}

Status LoadDictionary(const std::string& path) {
  // A document read to its end may still have left tables out, each with
  // its reason in the log.
  const FailureCapture failures;
  const Status read = ReadPersonFile(path, ReadDataDictFromXMLFile, ReadDataDictFromHostFile);
  if (!read.ok()) return read;
  std::string reasons = failures.Reasons();
  return reasons.empty() ? Status::Ok() : Status::Failure(std::move(reasons));
}

}  // namespace kv
