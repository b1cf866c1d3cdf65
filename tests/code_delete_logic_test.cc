// Code deletion that no request reaches on its own: each marking function in
// plain and wide mode, the deletion made for an unbundled HRG, and the walk
// of combination codes. Qualifiers: approach codes "Y1" and "Y2", site code
// "Z1". List L holds A and B (value 1), Y1 (2) and Z1 (3); list M holds D.
#include "grouping/code_delete_logic.h"

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "grouping/combination_logic.h"

namespace zorvel {
namespace {

using Codes = std::vector<std::string>;
using F = RuleFunction;

// Marks as '0'/'1' from the first position on.
std::string Text(const DeletionMarks& marks) {
  std::string text;
  for (size_t i = 0; i < marks.size(); ++i) text += marks[i] ? '1' : '0';
  return text;
}

class CodeDeleteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& [list, code, value] :
         {std::tuple{"Approach", "Y1", 1}, {"Approach", "Y2", 1}, {"Site", "Z1", 1}, {"L", "A", 1},
          {"L", "B", 1}, {"L", "Y1", 2}, {"L", "Z1", 3}, {"M", "D", 1}})
      data_.mutable_lists()[list].Set(code, value);
    ASSERT_TRUE(deletion_.SetUp(data_));
  }
  // A one-condition rule on "Procedure" (or `item`) over list L (or `list`).
  Rule On(F function, int32_t from = 1, int32_t to = 9, int16_t count = 2,
          const char* item = "Procedure", const char* list = "L") const {
    RuleCondition condition;
    condition.function = function;
    condition.list = data_.FindList(list);
    condition.from = from;
    condition.to = to;
    condition.count = count;
    condition.SetItem(item);
    return Rule{{condition}, "On"};
  }

  ReferenceData data_;
  CodeDeleteLogic deletion_;
};

// Each case's marks in plain mode, then in wide mode.
TEST_F(CodeDeleteTest, MarkByRuleMarksWhatEachFunctionNames) {
  constexpr F kIn = F::kDataItemInList, kNest = F::kNestedDataItemInList,
              kRel = F::kRelDataItemInList, kNext = F::kNextDataItemInList;
  const struct {
    const char* shows; F function; int32_t from, to; int16_t count; int32_t position;
    Codes codes; const char* plain; const char* wide; const char* item = "Procedure";
  } cases[] = {
      {"from..to; a tail ends it", kIn, 2, 4, 0, 0, {"A", "B", "C", "B", "A"}, "01010", "01000"},
      {"a tail goes beyond to", kIn, 1, 1, 0, 0, {"A", "Y2", "Z1", "C"}, "1000", "1110"},
      {"no tail from Y1; a blank ends one", kIn, 1, 4, 0, 0, {"Y1", "A", "", "Y2"}, "1100", "1100"},
      {"nested run to the end", kNest, 1, 9, 2, 0, {"C", "A", "Y1", "Z1"}, "0110", "0111"},
      {"nested count 1 stops at the first run", kNest, 1, 9, 1, 0, {"C", "A", "Y1"}, "010", "010"},
      {"a closing code opens a run", kNest, 1, 9, 2, 0, {"A", "Y1", "B", "Z1"}, "0010", "0011"},
      {"nested stops beyond to", kNest, 1, 2, 2, 0, {"A", "Y1", "Y1"}, "110", "110"},
      {"in-list/first qualifier", kRel, 1, 1, 0, 1, {"C", "A", "Y2", "Y1", "B"}, "00010", "00100"},
      {"an ordinary code ends it", kRel, 1, 1, 0, 0, {"A", "Y2", "C", "Y1"}, "0000", "0100"},
      {"a blank ends it", kRel, 1, 1, 0, 0, {"A", "", "Y1"}, "000", "000"},
      {"next in list", kNext, 1, 1, 0, 0, {"A", "B", "C"}, "010", "010"},
      {"next not in list", kNext, 1, 1, 0, 0, {"A", "C"}, "00", "01"},
      {"next after the last code", kNext, 1, 1, 0, 1, {"A", "B"}, "00", "00"},
      {"next before the first code", kNext, 1, 1, 0, -2, {"A", "B"}, "00", "00"},
      {"all-in-list names none", F::kAllDataItemInList, 1, 9, 0, 0, {"A", "B"}, "00", "00"},
      {"other items are ignored", kIn, 1, 9, 0, 0, {"A", "B"}, "00", "00", "Diagnosis"},
      {"a sum names none", F::kSumListValues, 1, 9, 0, 0, {"A", "B"}, "00", "00"},
  };
  for (const auto& c : cases) {
    const Rule rule = On(c.function, c.from, c.to, c.count, c.item);
    for (const bool wide : {false, true}) {
      DeletionMarks marks(c.codes.size());
      deletion_.MarkByRule(c.position, &rule, c.codes, marks, wide);
      EXPECT_EQ(Text(marks), wide ? c.wide : c.plain) << c.shows << (wide ? ", wide" : "");
    }
  }
}

TEST_F(CodeDeleteTest, MarksOfAnotherSizeAndAnUnsetLogicAreSafe) {
  const Rule rule = On(F::kDataItemInList);
  DeletionMarks marks(1);
  deletion_.MarkByRule(0, &rule, {"A", "B"}, marks, false);
  EXPECT_EQ(Text(marks), "1");
  Codes codes = {"A", "B"};
  CodeDeleteLogic::DeleteMarked(codes, DeletionMarks(4, 0b1010));
  EXPECT_EQ(codes, (Codes{"A", ""}));
  CodeDeleteLogic().DeleteTriggerCodes(0, {}, codes);  // an unset logic deletes nothing
  EXPECT_EQ(codes, (Codes{"A", ""}));
}

TEST_F(CodeDeleteTest, DeleteTriggerCodesTakesRulesAndQualifiersPastBlanks) {
  const Rule diagnosis = On(F::kDataItemInList, 1, 9, 0, "Diagnosis");
  const Trigger plain{&diagnosis, {HrgEntry{"H", "", &diagnosis}}};
  const TriggerMatch unnamed{&plain, &plain.entries[0]};
  Codes codes = {"C", "A", "Z1", "", "D"};
  deletion_.DeleteTriggerCodes(1, unnamed, codes);
  EXPECT_EQ(codes, (Codes{"C", "", "", "", "D"}));
  // Both rules mark, in wide mode: B with its approach code, and D.
  const Rule first = On(F::kDataItemInList, 1, 1);
  const Rule in_m = On(F::kDataItemInList, 1, 9, 0, "Procedure", "M");
  const Trigger named{&first, {HrgEntry{"H", "", &in_m}}};
  codes = {"B", "Y2", "C", "A", "Z1", "", "Z1", "D"};
  deletion_.DeleteTriggerCodes(3, {&named, &named.entries[0]}, codes);
  EXPECT_EQ(codes, (Codes{"", "", "C", "", "", "", "", ""}));
  codes = {"A", "Z1"};  // a position outside the list names no trigger code
  for (int32_t at : {-1, 2, INT32_MAX}) deletion_.DeleteTriggerCodes(at, unnamed, codes);
  EXPECT_EQ(codes, (Codes{"A", "Z1"}));
}

// "A" becomes "AB" when the next code is in L and some code is D (in M);
// the deletion, in plain mode, takes that next code and every D. The second
// "A" then finds no D and stays; "AB" would become "ZZ" if looked up again.
TEST_F(CodeDeleteTest, CombinationReplacesTriggerBlanksNamedCodesAndWalksOn) {
  const Rule next_in_m = On(F::kNextDataItemInList, 1, 1, 0, "Procedure", "M"), always;
  Rule next_in_l = On(F::kNextDataItemInList);
  next_in_l.conditions.push_back(On(F::kDataItemInList, 1, 9, 0, "Procedure", "M").conditions[0]);
  data_.mutable_combinations().Insert("A") = {{"AM", "", &next_in_m}, {"AB", "", &next_in_l}};
  data_.mutable_combinations().Insert("AB") = {{"ZZ", "", &always}};
  RuleContext context;
  CombinationLogic combination;
  ASSERT_TRUE(context.SetUp(data_) && combination.SetUp(&deletion_, &context, data_));
  Record record;
  record.List("Procedure") = {"C", "A", "B", "A", "Y1", "D", "Y2", "D"};
  EXPECT_TRUE(combination.Derive(record));
  EXPECT_EQ(record.List("Procedure"), (Codes{"C", "AB", "", "A", "Y1", "", "Y2", ""}));
  EXPECT_EQ(record.Single("GateTriggerField"), "Procedure");
  EXPECT_EQ(record.Single("GateTriggerPos"), "3");
}

}  // namespace
}  // namespace zorvel
