// Fuzz target for the personality file reader, on the dictionary of the
// data objects' tests: whatever the file holds, reading it answers 1, 0 or
// 99 without a crash, and every personality it keeps has a dominant table
// of the dictionary and constituents linked to it by foreign keys.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dataobjects/personality.h"
#include "fuzz_support.h"
#include "store/data_dictionary.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string dictionary =
      kv::fuzz::CopySourceFile("shop.xml", std::string(KV_FUZZ_DATAOBJECTS_DATA) + "/shop.xml");
  if (!kv::LoadDataDictFromXMLFile(dictionary.c_str()) || !kv::GetTableDefn("ORDERS")) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ResetPersonalities();
  if (InitPersonality() != 1) fuzz::Broken("personality_fuzz", "no list of personalities", bytes);
  const std::string path = fuzz::WriteInputFile("personalities.xml", bytes);
  const int read = CreatePersonalityFromXMLFile(path.c_str());
  if (read != 0 && read != 1 && read != 99) fuzz::Broken("personality_fuzz", "an answer of no meaning", bytes);
  for (const PersonalityDefn& personality : *Personalities().gv_personalityDefnVect) {
    if (!GetTableDefn(personality.dominantTable.c_str()))
      fuzz::Broken("personality_fuzz", "a personality kept without its dominant table", bytes);
    for (const ConstituentTable& constituent : personality.constituents)
      if (!ConstituentLink(personality, constituent))
        fuzz::Broken("personality_fuzz", "a constituent kept without a link", bytes);
  }
  return 0;
}
