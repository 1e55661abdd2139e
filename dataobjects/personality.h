#pragma once
// Personalities: business entities that span several tables, one dominant
// table whose rows are the entities and constituent tables whose rows hang
// off a dominant row through foreign keys, their own or those of the tables
// between (a vendor's parts through its products). They are read from XML
// configuration files into one process-wide list and fetched as data
// objects.
//
// The configuration: every element at any depth, in document order, with
// element and attribute names compared without regard to case:
//   <DominantTableConfig DOMINANTTABLEID="T" isindexed="true" nonindexlimit="..."/>
//       "true" creates the index table T_IDX; DOMINANTTABLEID must come first
//   <PersonalityConfiguration personalityname="P" description="..." dominanttableid="T"/>
//   <ConstituentTable tableindex="1" tableid="C" fkconstraint_id="..." mandatory="false"/>...
//       the constituents of the personality before them, up to the first
//       element of another name; a tableindex of exactly "0" ends the
//       element's attributes; a constituent naming the dominant table is
//       left out; mandatory unless "false" (any case); a constituent with
//       no chain of foreign keys to the dominant table's key refuses the
//       file

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dataobjects/data_object.h"
#include "dataobjects/foreign_key_chains.h"
#include "db/select_query.h"
#include "store/store_results.h"
#include "store/table_defn.h"
#include "store/vector.h"

namespace kv {

struct ConstituentTable {
  // The personality's dominant table (shared with it).
  const char* dominantTable = nullptr;
  std::string tableName;
  std::int32_t tableIndex = 0;
  std::uint8_t mandatory = 0;
  // The name of the foreign-key constraint that links it.
  std::string foreignKey;
};

struct PersonalityDefn {
  std::string name;
  std::string dominantTable;
  std::string description;
  // In file order.
  VectorOf<ConstituentTable> constituents;
};

struct PersonalityState {
  // Null until InitPersonality.
  std::unique_ptr<VectorOf<PersonalityDefn>> gv_personalityDefnVect;
  // The dominant tables that have an index table, by their dictionary name.
  std::vector<std::string> indexedTables;
};

PersonalityState& Personalities();
// Forgets every personality (tests).
void ResetPersonalities();

// Creates the list; 1, or 99 with "MEMORY_ALLOCATION_FAILURE\n".
[[nodiscard]] int InitPersonality();
// Reads a configuration file: its personalities, then its index tables on
// the default connection (one that is there already is kept). 1; 0 with
// "Could not parse file %s\n", with "Constituent table %s does not refer to
// %s.%s.\n" for a constituent not linked to its dominant table, or when an
// index table cannot be made (no personality of the file is kept then); 99
// when memory runs out.
[[nodiscard]] int CreatePersonalityFromXMLFile(const char* path);
// The same, with the reason of a failure: the ERROR entries it logged, in
// order, on one line.
Status ReadPersonalityFile(const char* path);
// The same for a file of this computer that a person names (not the
// machine's); name is how messages name it.
Status ReadPersonalityHostFile(const char* hostPath, const char* name);

// Found by exact name; null with "Cannot get personality.  Personality
// name is NULL\n" or "Personality %s not found in gv_personalityDefnVect\n".
const PersonalityDefn* GetPersonalityDefn(const char* name);
// The definition as PrintPersonalityDefn logs it (DEBUG).
std::optional<std::string> PersonalityDefnText(const char* name);
void PrintPersonalityDefn(const char* name);
// The constituent table names; nothing (logged) for a missing name or
// personality.
std::optional<std::vector<std::string>> GetConstituentTables(const char* name);
// The dominant tables, or the names, of every personality; nothing when
// there is none.
std::optional<std::vector<std::string>> GetDominantTables();
std::optional<std::vector<std::string>> GetPersonalityNames();
[[nodiscard]] bool IsDominantTable(const char* tableName);

// The definitions of the table's primary-key columns in column order;
// nothing with "Cannot get PKColumnInfo.  TableName is NULL\n", "No table
// definition found for %s.\n" or "No constraints for table %s\n".
std::optional<std::vector<const ColumnDefn*>> GetPKColumnInfo(const char* tableName);

// How a constituent's rows belong to the dominant rows; nothing with
// "Constituent table %s does not refer to %s.%s.\n" (the dominant table
// and its key) when no chain of foreign keys links them.
std::optional<OwnerLink> ConstituentLink(const PersonalityDefn& personality, const ConstituentTable& constituent);

// Every entity of a personality: its dominant table left-joined with each
// constituent along its link (the tables between joined too, each once,
// without collections of their own), every column selected. Null with
// "Cannot get Personality.  personalityName is NULL\n", "No personality
// found for %s\n" or "Cannot get DO for personality %s\n".
DataObjectPtr GetDOFromPersonality(const char* name);
// The entity of a row unit of the dominant table, and its rows of every
// constituent (GetDataObjectByRowUnit).
DataObjectPtr GetDOFromPersonalityByRowUnit(const char* name, const RowUnit* rowUnit);
// The rows of the entities joined as GetDOFromPersonality joins them for
// which the criteria holds: each row comes with the entity it belongs to,
// whichever of the tables the criteria names. Null with "Cannot create
// DataObject.\n" when there are none.
DataObjectPtr GetDOFromPersonalityByCriteria(const char* name, CriteriaExp* criteria);
// The same for several personalities, merged into one object in order;
// null with "Cannot Merge DO's.\n" when one gives nothing.
DataObjectPtr GetDOFromPersonalities(std::span<const char* const> names);
DataObjectPtr GetDOFromPersonalitiesByRowUnit(std::span<const char* const> names, const RowUnit* rowUnit);
DataObjectPtr GetDOFromPersonalitiesByCriteria(std::span<const char* const> names, CriteriaExp* criteria);

}  // namespace kv
