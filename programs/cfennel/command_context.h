#pragma once
// What the commands of cfennel share: the words of the line, where they
// print, what the store reports while it runs, and the checks of table names and values.

#include <cstdio>
#include <optional>
#include <string>

#include "command_words.h"
#include "row_output.h"
#include "store/result_data.h"
#include "store/table_defn.h"
#include "store/typed_value.h"
#include "base/failure_capture.h"

namespace kv {

class DBResultSet;

// A command's failure: its reason, or none (success).
using Outcome = std::optional<std::string>;

struct Context {
  CommandWords& words;
  std::FILE* out;
  // What the store reports while the command runs.
  FailureCapture& failures;
  // How rows are printed; the mode command changes it.
  OutputMode& mode;

  // The store's own reason when it reported one, else ours.
  std::string Reason(const std::string& ours) const;
};

// The definition of the table a command names; its table data is made
// (empty) on first use, as the store makes it for a document.
const TableDefn* NamedTable(Context& context, Outcome& failure);
// The definition of the table a command names, leaving table data alone.
const TableDefn* NamedDefinition(Context& context, Outcome& failure);
// A failure when words are left on the line.
Outcome NoMoreWords(Context& context);

// The column of a definition named so without regard to case, or null.
const ColumnDefn* FindColumn(const TableDefn& definition, const std::string& name);
// text as a stored value of the column into out (a text stays a view of
// text); the failure when it is no value of the column's type.
Outcome ColumnValue(const std::string& text, const ColumnDefn& column, TypedValueBuffer& out);

// The database's own words in a reason the store wrote from an ODBC
// diagnostic (without the driver's framing); the reason as it is otherwise.
std::string DatabaseMessage(const std::string& reason);

// Why a command cannot reach a database (no --root), or none.
Outcome NeedDatabase();

// The commands that reach the database (with --root).
Outcome LoadFromDatabase(Context& context);
Outcome Save(Context& context);
Outcome SaveAll(Context& context);
Outcome Insert(Context& context);
Outcome Unload(Context& context);
Outcome Sql(Context& context);
// Prints a query's rows in the context's mode.
void PrintResultSet(Context& context, DBResultSet& result);
// Prints the rows of a result (those not deleted) in the context's mode.
void PrintResult(Context& context, const ResultData& result);

// The commands of entities and stored queries.
Outcome ReadPersonalities(Context& context);
Outcome Entity(Context& context);
Outcome Stored(Context& context);

}  // namespace kv
