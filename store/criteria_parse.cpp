// Parsing a criteria text: the generated scanner and parser run over a
// private copy of the text that ends with the newline the grammar ends
// every expression with.

#include "store/criteria_parse.h"

#include <cstring>
#include <new>

namespace kv {

CriteriaTree ParseCriteria(const char* text) {
  if (!text) return nullptr;
  const std::size_t length = std::strlen(text);
  // The text, its newline and the scanner's two end marks.
  std::unique_ptr<char[]> copy(new (std::nothrow) char[length + 3]);
  if (!copy) return nullptr;
  std::memcpy(copy.get(), text, length);
  copy[length] = '\n';
  copy[length + 1] = '\0';
  copy[length + 2] = '\0';

  void* scanner = nullptr;
  if (!StartCriteriaScanner(copy.get(), length + 1, &scanner)) return nullptr;
  CriteriaParse parse;
  const int failed = RunCriteriaParser(scanner, parse);
  StopCriteriaScanner(scanner);
  if (failed) return nullptr;
  CriteriaTree tree(parse.result);
  parse.result = nullptr;
  return tree;
}

const void* CriteriaParserLockKey() {
  static const char key = 0;
  return &key;
}

}  // namespace kv
