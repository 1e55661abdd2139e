// The commands of entities (personalities read from their configuration,
// fetched as data objects) and of stored queries.

#include <charconv>
#include <string>

#include "base/text_format.h"
#include "command_context.h"
#include "person_files.h"
#include "dataobjects/data_object.h"
#include "dataobjects/data_object_fetch.h"
#include "dataobjects/personality.h"
#include "dataobjects/stored_query.h"

namespace kv {
namespace {

// The dominant row of a personality whose single key column has the text
// as its value, as a data object of its own.
DataObjectPtr DominantRow(const PersonalityDefn& personality, const std::string& key, Outcome& failure) {
  const char* dominant = personality.dominantTable.c_str();
  const std::optional<std::vector<const ColumnDefn*>> keys = GetPKColumnInfo(dominant);
  if (!keys || keys->size() != 1) {
    failure = Format("%s has no single key column to name an entity by", dominant);
    return nullptr;
  }
  const ColumnDefn& column = *keys->front();
  TypedValueBuffer value;
  if ((failure = ColumnValue(key, column, value))) return nullptr;
  SelectQueryPtr query = CreateSelectQuery();
  SelectColumn* selected =
      query ? MakeSelectColumn(*query, dominant, nullptr, column.name.c_str(), nullptr, column.type) : nullptr;
  CriteriaExp* criteria =
      selected ? MakeCriteriaLeaf(*query, selected, value.value().data, value.value().length, SQL_OP_EQ) : nullptr;
  const char* tables[] = {dominant};
  DataObjectPtr row = criteria ? GetDataObjectByCriteria(tables, criteria) : nullptr;
  if (!row) failure = Format("no %s with %s %s", dominant, column.name.c_str(), key.c_str());
  return row;
}

}  // namespace

Outcome ReadPersonalities(Context& context) {
  if (Outcome missing = NeedDatabase()) return missing;
  const std::optional<std::string> path = context.words.Value();
  if (!path) return context.words.unterminated() ? "unterminated quote" : "missing PATH";
  if (Outcome extra = NoMoreWords(context)) return extra;
  if (const Status read = ReadPersonFile(*path, ReadPersonalityFile, ReadPersonalityHostFile); !read.ok())
    return *path + ": " + std::string(read.message());
  for (const PersonalityDefn& personality : *Personalities().gv_personalityDefnVect) {
    std::string line = personality.name + "\t" + personality.dominantTable;
    for (const ConstituentTable& constituent : personality.constituents) line += "\t" + constituent.tableName;
    std::fprintf(context.out, "%s\n", line.c_str());
  }
  return std::nullopt;
}

Outcome Entity(Context& context) {
  if (Outcome missing = NeedDatabase()) return missing;
  const std::string name(context.words.Word());
  if (name.empty()) return "missing PERSONALITY";
  const std::optional<std::string> key = context.words.Value();
  if (context.words.unterminated()) return "unterminated quote";
  if (Outcome extra = NoMoreWords(context)) return extra;
  const PersonalityDefn* personality = GetPersonalityDefn(name.c_str());
  if (!personality) return "no personality " + name + " (read one with personalities PATH)";
  DataObjectPtr entity;
  if (key) {
    Outcome failure;
    const DataObjectPtr dominant = DominantRow(*personality, *key, failure);
    if (!dominant) return failure;
    entity = GetDOFromPersonalityByRowUnit(name.c_str(),
                                           GetFirstRowUnit(dominant.get(), personality->dominantTable.c_str()));
  } else {
    entity = GetDOFromPersonality(name.c_str());
  }
  if (!entity) return context.Reason("nothing found for " + name);
  std::fputs(DataObjectText(entity.get()).c_str(), context.out);
  return std::nullopt;
}

Outcome Stored(Context& context) {
  if (Outcome missing = NeedDatabase()) return missing;
  const std::string_view word = context.words.Word();
  std::int32_t number = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
  if (word.empty() || error != std::errc() || end != word.data() + word.size()) return "expected a query NUMBER";
  if (Outcome extra = NoMoreWords(context)) return extra;
  // A number no query has reads as a query without tables.
  if (const SelectQueryPtr query = ReadStoredQuery(number); query && !SelectQueryTable(*query))
    return Format("no stored query %d", number);
  DBResultSetPtr result = RunStoredQuery(number);
  if (!result) return context.Reason(Format("stored query %d cannot be run", number));
  PrintResultSet(context, *result);
  return std::nullopt;
}

}  // namespace kv
