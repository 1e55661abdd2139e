// Fuzz target for the reader of XML table documents, on the dictionaries of
// the store's tests (keys, foreign keys, generators, every column type):
// whatever the bytes, the reader succeeds or fails without a crash, in
// bounded time and memory, and the rows it made hold values of sane length.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "store/data_dictionary.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "store/xml_table_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using namespace kv;
  for (const char* file : {"shop.xml", "agent.xml", "tables.xml"})
    if (!LoadDataDictFromXMLFile(fuzz::CopySourceFile(file, std::string(KV_FUZZ_STORE_DATA) + "/" + file).c_str()))
      std::abort();
  if (!GetTableDefn("CUSTOMERS") || !GetTableDefn("Agentparams") || !SequenceGenerator()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ResetTableData();
  if (!ConstructTableDataFromXMLBuffer(bytes.data(), bytes.size())) return 0;
  for (const TableData& table : TableDataRegistry().gv_tableDataVect) {
    for (const RowObject* row = table.firstRow; row; row = row->next)
      for (std::int32_t i = 0; i < table.columnCount; ++i)
        if (row->values[i].length < 0 || (row->values[i].length > 0 && !row->values[i].data))
          fuzz::Broken("xml_table_fuzz", "a value without its bytes", bytes);
  }
  return 0;
}
