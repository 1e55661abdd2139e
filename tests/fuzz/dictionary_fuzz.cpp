// Fuzz target for the data-dictionary reader: whatever the file holds, the
// reader keeps the tables it could read whole and leaves out the rest, and
// every name a kept table gives its SQL texts is a plain identifier.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "store/data_dictionary.h"
#include "store/sql_identifier.h"
#include "store/store_reset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ResetStoreState();
  const std::string path = fuzz::WriteInputFile("dictionary.xml", bytes);
  if (!LoadDataDictFromXMLFile(path.c_str())) fuzz::Broken("dictionary_fuzz", "a file path refused", bytes);
  for (const TableDefn& definition : DataDictionary().gv_tableDefnVect) {
    if (definition.columns.Empty() || !definition.constraints)
      fuzz::Broken("dictionary_fuzz", "a table kept without columns or constraints", bytes);
    if (FirstUnfitName(definition)) fuzz::Broken("dictionary_fuzz", "a name that is no plain identifier", bytes);
  }
  return 0;
}
