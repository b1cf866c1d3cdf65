// What a record's flat slots must keep from the ordered maps they replace:
// names that share a hash stay apart, a reference to a value outlives later
// insertions, and a cleared or copied record holds exactly its own items.
#include "common/record.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

// Two names with the same 32-bit hash.
constexpr char kNameA[] = "Item1N7Q";
constexpr char kNameB[] = "Item1N8R";

TEST(Record, NamesOfEveryLengthDifferByEachByte) {
  // Names are compared in overlapping blocks: a difference anywhere, at any
  // length, must tell them apart, and equal names in separate buffers match.
  for (size_t length = 0; length <= 20; ++length) {
    const std::string name(length, 'n');
    const std::string copy = name;
    EXPECT_TRUE(SameItemName(name, copy)) << length;
    EXPECT_FALSE(SameItemName(name, name + "n")) << length;
    for (size_t at = 0; at < length; ++at) {
      std::string other = name;
      other[at] = 'm';
      EXPECT_FALSE(SameItemName(name, other)) << length << " at " << at;
    }
  }
}

TEST(Record, ValueReferenceOutlivesLaterItems) {
  Record record;
  std::string& first = record.Single("First");
  std::vector<std::string>& codes = record.List("Codes");
  for (int i = 0; i < 200; ++i) {
    record.Set("Item" + std::to_string(i), "x");
    record.List("List" + std::to_string(i));
  }
  first = "kept";
  codes.push_back("C1");
  EXPECT_EQ(*record.FindSingle("First"), "kept");
  EXPECT_EQ(*record.FindList("Codes"), (std::vector<std::string>{"C1"}));
}

TEST(Record, ClearedRecordHoldsOnlyWhatComesAfter) {
  Record record;
  record.success = true;
  record.AddError(GroupingError::Free("F", "gone"));
  record.Set("Age", "40");
  record.List("Diagnosis") = {"A01", "B02"};
  record.Clear();
  EXPECT_FALSE(record.success);
  EXPECT_TRUE(record.errors.empty());
  EXPECT_EQ(record.FindSingle("Age"), nullptr);
  EXPECT_EQ(record.FindList("Diagnosis"), nullptr);
  EXPECT_TRUE(record.List("Procedure").empty());
  EXPECT_EQ(record.Single("SEX"), "");
  EXPECT_EQ(record.SortedSingles(), (SingleValues{{"SEX", ""}}));
  EXPECT_EQ(record.SortedLists(), (ListValues{{"Procedure", {}}}));
}

// Past a few items a record finds them through an index that grows; each
// size must find every item it holds and none it does not (names that share
// a hash included), before and after a Clear (which keeps a small index and
// drops a large one).
TEST(Record, EveryItemIsFoundAtEverySizeAndAfterClear) {
  ASSERT_EQ(HashItemName(kNameA), HashItemName(kNameB));
  Record record;
  for (int round = 0; round < 3; ++round) {
    const int count = round == 1 ? 1500 : 300;
    for (int i = 0; i < count; ++i) {
      record.Set("Item" + std::to_string(i), std::to_string(i + round));
      if (i == 20) {
        record.Set(kNameA, "a");
        record.Set(kNameB, "b");
      }
      for (int j = 0; j <= i; j += 1 + i / 7) {
        const std::string* value = record.FindSingle("Item" + std::to_string(j));
        ASSERT_NE(value, nullptr) << i << " " << j;
        ASSERT_EQ(*value, std::to_string(j + round));
      }
      ASSERT_EQ(record.FindSingle("Item" + std::to_string(i + 1)), nullptr);
    }
    EXPECT_EQ(*record.FindSingle(kNameA), "a");
    EXPECT_EQ(*record.FindSingle(kNameB), "b");
    EXPECT_EQ(record.FindList(kNameA), nullptr);
    EXPECT_EQ(record.SortedSingles().size(), static_cast<size_t>(count + 2));
    record.Clear();
    for (int i = 0; i < count; i += 97) {
      EXPECT_EQ(record.FindSingle("Item" + std::to_string(i)), nullptr);
    }
    EXPECT_EQ(record.FindSingle(kNameA), nullptr);
  }
}

// A reused record files items without a look-up while they come in the
// order of its last filling. Rounds that mostly follow the last round's
// order, but drop, swap and repeat names (repeats must replace, not add),
// and set values over longer and shorter ones, must hold what a map holds.
TEST(Record, RefilledInAnyOrderHoldsWhatAMapHolds) {
  std::mt19937 random(7);
  Record record;
  std::vector<std::string> last, order;
  for (int round = 0; round < 400; ++round, last = std::move(order)) {
    record.Clear();
    SingleValues singles;
    ListValues lists;
    order.clear();
    for (size_t i = 0, count = random() % 14; i < count; ++i) {
      const std::string name = i < last.size() && random() % 5 != 0
                                   ? last[i]
                                   : "N" + std::to_string(random() % 12);
      // Now and then a value too long to be held without an allocation.
      const std::string value = std::to_string(random() % 3000) +
                                std::string(random() % 8 == 0 ? 17 : 0, 'v');
      order.push_back(name);
      const int way = random() % 4;
      if (way == 3) {
        record.List(name).push_back(value);
        lists[name].push_back(value);
        continue;
      }
      if (way == 0 && i % 2 == 0) record.Set(name, value);
      if (way == 0 && i % 2 == 1) record.Set(name, std::string(value));
      if (way == 1) record.Insert(name, value);
      if (way == 2) {
        std::string* slot = record.RefillSingle(name);
        (slot != nullptr ? *slot : record.Single(ItemKey(name))) = value;
      }
      if (way == 1) singles.emplace(name, value); else singles[name] = value;
    }
    ASSERT_EQ(record.SortedSingles(), singles) << round;
    ASSERT_EQ(record.SortedLists(), lists) << round;
  }
}

// A value set from a view of its own text, whole or in part, short or long.
TEST(Record, ValueSetFromItsOwnText) {
  Record record;
  for (const std::string text : {"ABCDEFGH", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}) {
    record.Set("HRG", text);
    record.Set("HRG", *record.FindSingle("HRG"));
    EXPECT_EQ(*record.FindSingle("HRG"), text);
    record.Set("HRG", std::string_view(*record.FindSingle("HRG")).substr(3));
    EXPECT_EQ(*record.FindSingle("HRG"), text.substr(3));
  }
}

TEST(Record, CopyIsIndependentOfItsOriginal) {
  Record original;
  original.Set("Age", "40");
  original.List("Diagnosis") = {"A01"};
  Record copy = original;
  copy.Set("Age", "41");
  copy.List("Diagnosis").push_back("B02");
  copy.Set("SEX", "1");
  EXPECT_EQ(original.SortedSingles(), (SingleValues{{"Age", "40"}}));
  EXPECT_EQ(original.SortedLists(), (ListValues{{"Diagnosis", {"A01"}}}));
  EXPECT_EQ(copy.SortedSingles(), (SingleValues{{"Age", "41"}, {"SEX", "1"}}));
}

TEST(Spell, ClearedSpellHasNoEpisodesAndPointsItsOutputAtItself) {
  Spell spell;
  spell.AddEpisode().Set("Id", "1");
  spell.AddEpisode().Set("Id", "2");
  spell.output = &spell.episodes[0];
  spell.procedure_origins = {0, 1};
  spell.Clear();
  EXPECT_TRUE(spell.episodes.empty());
  EXPECT_EQ(spell.output, &spell);
  EXPECT_TRUE(spell.procedure_origins.empty());
  Record& episode = spell.AddEpisode();
  EXPECT_EQ(episode.FindSingle("Id"), nullptr);
  EXPECT_FALSE(episode.success);
}

}  // namespace
}  // namespace zorvel
