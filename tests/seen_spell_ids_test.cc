// Spell ids seen so far are kept in order while the extract is in order and
// in a hash table after: whichever holds an id, it must be found again with
// the line where it was first seen, and an id never seen must not be.
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "seen_spell_ids.h"

namespace zorvel::cli {
namespace {

// Runs of ids, each checked as it comes against a plain map: mostly
// ascending (numbers of growing width), with ids that come back and, in two
// runs of three, a break in the order at a random place.
TEST(SeenSpellIds, RandomRunsOfIdsAgreeWithAMap) {
  std::mt19937 random(7);
  for (int run = 0; run < 200; ++run) {
    SeenSpellIds seen;
    std::map<std::string, long> first;
    std::vector<std::string> ids;
    const int count = 1 + static_cast<int>(random() % 3000);
    const int break_at = run % 3 == 0 ? count + 1 : static_cast<int>(random() % count);
    long next = 1;
    for (long line = 2; line < count + 2; ++line) {
      if (line - 2 == break_at) next = static_cast<long>(random() % (next + 1));
      const bool again = !ids.empty() && random() % 10 == 0;
      ids.push_back(again ? ids[random() % ids.size()] : "P" + std::to_string(next++));
      const auto known = first.emplace(ids.back(), line).first;
      const long expected = known->second == line ? 0 : known->second;
      ASSERT_EQ(seen.FirstLine(ids.back(), line), expected) << ids.back() << " at line " << line;
    }
  }
}

}  // namespace
}  // namespace zorvel::cli
