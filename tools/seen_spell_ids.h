// The spell ids of a flat file seen so far, each with the line where it was
// first seen, for telling a spell id that comes back after other spells.
//
// Extracts mostly list their spells in order of id. While they do, each new
// id is compared with the one before and appended to a list in that order:
// no look-up in a table far larger than the processor's caches. The first id
// out of order is looked up in the list, and from then on every id is kept
// in an open-addressed table by a 64-bit hash of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::cli {

class SeenSpellIds {
 public:
  // The line where `id` was first seen; 0 when it was not seen before, and
  // it is then kept as first seen at `line` (a line from 1).
  long FirstLine(std::string_view id, long line);

 private:
  // Ids in order: shorter before longer, then by their bytes.
  static bool Before(std::string_view a, std::string_view b);
  std::string_view Listed(size_t index) const;
  void MoveListToTable();
  void Insert(uint64_t key, long line);

  struct Seen {
    uint64_t key = 0;  // 0: a free slot (a hash of 0 is taken as 1)
    long line = 0;
  };
  // The slot of `key`: its entry, or the free slot to claim for it.
  Seen& Slot(uint64_t key);
  static uint64_t KeyOf(std::string_view id);

  bool in_order_ = true;
  std::string listed_;               // the ids in order, end to end
  std::vector<uint64_t> list_ends_;  // where each one ends in listed_
  std::vector<long> list_lines_;
  std::vector<Seen> table_;  // kept at most half full
  size_t table_count_ = 0;
};

}  // namespace zorvel::cli
