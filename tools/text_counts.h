// Counts by text (spells per HRG, errors per message). A run counts one HRG
// for every spell, and the plug-in's work between two counts leaves little of
// the host's data in the processor's caches: the texts are therefore kept
// end to end, found through a compact open-addressed table of their hashes,
// rather than in a node of their own each.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::cli {

class TextCounts {
 public:
  void Add(std::string_view text, long count = 1);
  // Forgets every text, keeping the room they took.
  void Clear();
  // The count of `text`; 0 when it was never counted.
  long Of(std::string_view text) const;

  // The texts in the order they were first counted, each with its count.
  size_t size() const { return counts_.size(); }
  std::string_view Text(size_t index) const;
  long Count(size_t index) const { return counts_[index]; }

 private:
  struct Slot {
    uint32_t hash = 0;   // the low half of the text's hash
    uint32_t index = 0;  // 1 + the text's index; 0 for a free slot
  };
  // The slot holding `text`, or the free slot where it would go.
  size_t Find(std::string_view text, uint64_t hash) const;
  void Grow();

  std::string texts_;
  std::vector<size_t> ends_;  // where each text ends in texts_
  std::vector<long> counts_;
  std::vector<Slot> slots_;  // kept at most half full
};

}  // namespace zorvel::cli
