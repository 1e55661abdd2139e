// Draws identifiers from a generator of a dictionary table through the
// database's SeqGenState, as a process of its own:
//   kv_sequence_drawer DSN USER DATABASE-TYPE DICTIONARY TABLE COLUMN COUNT
// prints each identifier on a line of its own; exit status 1 when one cannot
// be drawn.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "db/connection_params.h"
#include "db/connection_pool.h"
#include "db/database_sequence_source.h"
#include "db/db_provider.h"
#include "db/sql_dialect.h"
#include "store/data_dictionary.h"
#include "store/sequence_generator.h"

namespace {

int DefaultIndex(const std::string& type) {
  for (int index = 0; kv::DefaultDialectName(index); ++index)
    if (type == kv::DefaultDialectName(index)) return index;
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s DSN USER DATABASE-TYPE DICTIONARY TABLE COLUMN COUNT\n", argv[0]);
    return 2;
  }
  kv::ConnParamsEntry source;
  source.dsn = argv[1];
  source.user = argv[2];
  source.databaseType = argv[3];
  source.connectionName = "main";
  source.providerName = "ODBC";
  if (!kv::LoadDataDictFromXMLFile(argv[4]) || !kv::InitDBProvider()) return 1;
  kv::RegisterSQLDialects();
  if (!kv::AddConnParamsEntry(source)) return 1;
  kv::SetDSNMapValid(0, DefaultIndex(source.databaseType));
  if (!kv::EstablishDBConnections()) return 1;
  kv::InstallDatabaseSequenceSource();
  if (!kv::SequenceGenerator()) return 1;
  const kv::ColumnDefn* column = kv::GetColumnDefnEntry(argv[5], argv[6]);
  const int count = std::atoi(argv[7]);
  for (int i = 0; i < count; ++i) {
    const std::int32_t id = kv::GenerateID(argv[5], column);
    if (id < 0) return 1;
    std::printf("%d\n", id);
  }
  kv::FreeConnectionPool();
  return 0;
}
