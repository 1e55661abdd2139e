#pragma once
// A registry file as it was read, kept with its text, so that writing the
// registry back changes only the entries of what changed: every other line
// (comments, blank lines, deletions, values the program did not touch)
// comes back byte for byte, in the file's encoding and with its line ends.
//
// An entry for a value that changed is written again in its place; a value
// or key that is gone loses its entries; a new value goes after the last
// entry of its key; a new key gets its lines at the end of the file.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/posix/reg_file.h"
#include "platform/posix/reg_text.h"

namespace kv::posix {

class RegDocument {
 public:
  RegDocument();

  // Reads the bytes of a file (empty: an empty registry). On error the
  // document is an empty registry that keeps the bytes.
  std::optional<RegFileError> Parse(std::string bytes);

  RegNode& tree() { return tree_; }
  const RegNode& tree() const { return tree_; }
  // The bytes the document was read from.
  const std::string& bytes() const { return reading_.bytes; }

  // The bytes of the file for the tree as it is now.
  std::string Render() const;

  // What reading the file found out about its entries.
  struct Reading {
    std::string bytes;
    RegText text;
    std::vector<RegRecord> records;
    bool hasHeader = false;
    // For each key entry: whether its key was still there when the whole
    // file had been read, and for one deleted later, the deepest key of its
    // path that was: the entry keeps that key in being when read again.
    std::vector<bool> live;
    std::vector<std::uint64_t> anchor;
    // For each value entry: a deletion of the value follows it in its key,
    // so that it sets nothing.
    std::vector<bool> deleted;
    // The key entry that named each key first.
    std::unordered_map<std::uint64_t, std::size_t> firstNamed;
  };

 private:
  Reading reading_;
  RegNode tree_;
};

}  // namespace kv::posix
