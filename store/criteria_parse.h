#pragma once
// What the generated scanner and parser of the criteria language share with
// the code that drives them. Both are reentrant: everything one parse needs
// lives in its scanner object and in a CriteriaParse.

#include <cstddef>
#include <cstdint>

#include "store/criteria.h"

namespace kv {

// A VALUE or IDENTIFIER token: a view of its bytes in the text being parsed,
// which outlives the parse. Nodes copy what they keep.
struct CriteriaToken {
  const char* text;
  std::int32_t length;
};

// The result of one parse: the tree of the last line read so far.
struct CriteriaParse {
  CriteriaNode* result = nullptr;

  CriteriaParse() = default;
  CriteriaParse(const CriteriaParse&) = delete;
  CriteriaParse& operator=(const CriteriaParse&) = delete;
  ~CriteriaParse() { FreeCriteria(result); }

  // A completed line replaces the tree of the line before.
  void TakeLine(CriteriaNode* root) {
    FreeCriteria(result);
    result = root;
  }
};

// A comparison leaf; null when memory runs out.
CriteriaNode* MakeCriteriaLeaf(CriteriaToken column, CriteriaToken literal, std::uint8_t op);
// An inner node over both children, which it takes in every case (freeing
// them when memory runs out, and then giving null).
CriteriaNode* MakeCriteriaInner(std::uint8_t op, CriteriaNode* left, CriteriaNode* right);
// The operator that says the same with its operands swapped (5 < N is N > 5).
[[nodiscard]] std::uint8_t MirrorCriteriaOperator(std::uint8_t op);

// The generated scanner's entry points (the scanner object is opaque).
// Scans buffer, which holds size bytes of text followed by two NULs and is
// neither copied nor changed for good; false when memory runs out.
[[nodiscard]] bool StartCriteriaScanner(char* buffer, std::size_t size, void** scanner);
void StopCriteriaScanner(void* scanner);
// The generated parser: 0 when the text parsed.
[[nodiscard]] int RunCriteriaParser(void* scanner, CriteriaParse& parse);

}  // namespace kv
