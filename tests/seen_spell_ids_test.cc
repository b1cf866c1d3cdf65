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

// Feeds `ids` one per line from line 2 and checks every answer against a
// plain map.
void ExpectLikeAMap(const std::vector<std::string>& ids) {
  SeenSpellIds seen;
  std::map<std::string, long> first;
  long line = 2;
  for (const std::string& id : ids) {
    const auto known = first.find(id);
    const long expected = known == first.end() ? 0 : known->second;
    ASSERT_EQ(seen.FirstLine(id, line), expected) << "id " << id << " at line " << line;
    first.emplace(id, line);
    ++line;
  }
}

TEST(SeenSpellIds, AnIdInOrderOrOutOfItIsFoundWithItsFirstLine) {
  // In order throughout, numbers of growing width included; then ids that
  // come back while the order holds, and after it has broken.
  ExpectLikeAMap({"1", "2", "9", "10", "11", "100"});
  ExpectLikeAMap({"S01", "S02", "S03", "S02", "S04", "S01", "S05"});
  ExpectLikeAMap({"S01", "S03", "S02", "S03", "S01", "S04", "S02", "S05", "S05"});
  ExpectLikeAMap({"b", "a", "b", "a", "c"});
  ExpectLikeAMap({"", "a", ""});
}

TEST(SeenSpellIds, RandomRunsOfIdsAgreeWithAMap) {
  std::mt19937 random(7);
  for (int run = 0; run < 200; ++run) {
    std::vector<std::string> ids;
    const int count = 1 + static_cast<int>(random() % 3000);
    // Mostly ascending, with ids that come back and, in some runs, a break
    // in the order at a random place.
    const int break_at = run % 3 == 0 ? count + 1 : static_cast<int>(random() % count);
    long next = 1;
    for (int i = 0; i < count; ++i) {
      if (i == break_at) next = static_cast<long>(random() % (next + 1));
      if (!ids.empty() && random() % 10 == 0) {
        ids.push_back(ids[random() % ids.size()]);
      } else {
        ids.push_back("P" + std::to_string(next++));
      }
    }
    ExpectLikeAMap(ids);
  }
}

}  // namespace
}  // namespace zorvel::cli
