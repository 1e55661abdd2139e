#pragma once
// Data objects fetched from the database: by a select query, by criteria
// over some tables, or as the rows of some tables that belong to one row.
// Fetched row units start in state 1 (in the database).

#include <span>

#include "dataobjects/data_object.h"
#include "db/db_result_set.h"
#include "db/select_query.h"

namespace kv {

// Runs the query on the data source of its first table and builds an object
// of its rows, with a collection for each of the tables given (none given:
// for every table of the query). Null with "Cannot construct DO. Select
// Query pointer is NULL.\n" or "Cannot create DataObject.  No entries
// returned for SelectQuery\n".
DataObjectPtr GetDataObject(const SelectQuery* query, std::span<const char* const> tables = {});

// Builds an object of a query's result: a collection per table of the
// query (joined tables first, then its table list) in foreign-key order,
// each holding the table's columns of every result row once (a row that a
// join repeats is dropped, and so is one a left join made of NULLs). The
// query's columns of a table are its selected columns; a query without
// columns selects every column of every table, in table order. Given
// tables, only those of the query's tables get collections (the others
// only join them). Null when the tables cannot be ordered or the result
// does not fit the tables.
DataObjectPtr CreateDataObjectFromResultSet(DBResultSetPtr result, const SelectQuery* query,
                                            std::span<const char* const> tables = {});

// The rows of the tables for which the criteria (of a select query, which
// must outlive the call) holds; null with "Cannot create DataObject.\n".
DataObjectPtr GetDataObjectByCriteria(std::span<const char* const> tables, CriteriaExp* criteria);

// The row unit's own row and, of every other listed table, the rows whose
// foreign keys lead to its key, directly or through the tables between
// (FindOwnerLink). Each table is read on its own data source, so that a
// table without such rows leaves the others whole. Null when the
// row unit's table is not listed ("RowUnit belongs to table %s, which is
// not present in the tableList.\n") or nothing is found.
DataObjectPtr GetDataObjectByRowUnit(std::span<const char* const> tables, const RowUnit* rowUnit);

// A query's select text run on the data source of its first table (else
// of the base table of its first join); null when it cannot be run.
DBResultSetPtr RunSelectQuery(const SelectQuery& query);

// The value of a column of a row unit: by its collection's columns, or,
// for a row unit in no collection, by the table's definition order. Null
// data when there is none.
StoredValue RowUnitValue(const RowUnit& rowUnit, const char* columnName, std::uint8_t* type = nullptr);

}  // namespace kv
