// Tests of rule and trigger evaluation: the range walk, the DGVP discount,
// nested runs of qualifier codes, the gate-trigger tests and the early exit
// of rules and trigger lists.
#include "rules/rule_context.h"

#include <climits>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "rules/rule_functions.h"

namespace zorvel {
namespace {

using Codes = std::vector<std::string>;

CodeList MakeList(std::initializer_list<std::pair<const char*, int32_t>> codes) {
  CodeList list;
  for (const auto& [code, value] : codes) list.Set(code, value);
  return list;
}

// A condition as the table loader builds it, with its derived fields.
RuleCondition MakeCondition(RuleFunction function, const std::string& item,
                            const CodeList* list, int32_t from = 1,
                            int32_t to = 99, int16_t count = 0) {
  RuleCondition condition;
  condition.function = function;
  condition.item = item;
  condition.list = list;
  condition.from = from;
  condition.to = to;
  condition.count = count;
  condition.kind = KindOf(item);
  condition.old_item = item + "Old";
  return condition;
}

Rule MakeRule(std::vector<RuleCondition> conditions) {
  Rule rule;
  rule.conditions = std::move(conditions);
  return rule;
}

Record WithProcedures(Codes procedures) {
  Record record;
  record.lists["Procedure"] = std::move(procedures);
  return record;
}

// Procedure codes used throughout: ordinary codes "P..." and "X...", site
// codes "S..." and approach codes "A...". Qualifier lists:
//   Approach: "A1", "A3", "Aout";   Site: "S2", "S2b", "Sout".
class RuleContextTest : public ::testing::Test {
 protected:
  RuleContextTest() {
    approach_ = MakeList({{"A1", -1}, {"A3", -1}, {"Aout", -1}});
    site_ = MakeList({{"S2", -1}, {"S2b", -1}, {"Sout", -1}});
    context_.AddQualifierList(&approach_);
    context_.AddQualifierList(&site_);
  }

  bool Holds(Record& record, const RuleCondition& condition,
             EvalMode mode = EvalMode::kPlain) {
    return rule_internal::EvaluateCondition(record, condition, context_, mode);
  }

  CodeList approach_;
  CodeList site_;
  RuleContext context_;
};

// ---------------------------------------------------------------------------
// Qualifier codes and set-up

TEST_F(RuleContextTest, QualifierCodesAreEmptyOrInEitherList) {
  EXPECT_TRUE(context_.IsQualifier(""));
  EXPECT_TRUE(context_.IsQualifier("A1"));
  EXPECT_TRUE(context_.IsQualifier("S2"));
  EXPECT_FALSE(context_.IsQualifier("P1"));
  EXPECT_FALSE(context_.IsQualifier("a1"));
}

TEST(RuleContextSetUpTest, ContextWithoutListsKnowsOnlyTheEmptyCode) {
  RuleContext context;
  EXPECT_TRUE(context.IsQualifier(""));
  EXPECT_FALSE(context.IsQualifier("A1"));
}

TEST(RuleContextSetUpTest, SetUpTakesApproachAndSiteLists) {
  ReferenceData data;
  data.mutable_lists()["Approach"] = MakeList({{"A1", 1}});
  data.mutable_lists()["Site"] = MakeList({{"S2", 2}});
  RuleContext context;
  ASSERT_TRUE(context.SetUp(data));
  EXPECT_TRUE(context.IsQualifier("A1"));
  EXPECT_TRUE(context.IsQualifier("S2"));
  EXPECT_FALSE(context.IsQualifier("P1"));
}

TEST(RuleContextSetUpTest, SetUpFailsWithoutSiteOrApproach) {
  ReferenceData only_approach;
  only_approach.mutable_lists()["Approach"] = MakeList({{"A1", 1}});
  RuleContext context;
  EXPECT_FALSE(context.SetUp(only_approach));

  ReferenceData only_site;
  only_site.mutable_lists()["Site"] = MakeList({{"S2", 2}});
  EXPECT_FALSE(context.SetUp(only_site));
}

// ---------------------------------------------------------------------------
// DataItemInList (0): range walk

struct RangeCase {
  int32_t from;
  int32_t to;
  const char* listed;  // the one code of the list
  bool expected;
};

class RangeWalkTest : public RuleContextTest,
                      public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeWalkTest, LooksOnlyAtPositionsFromTo) {
  const RangeCase& c = GetParam();
  const CodeList list = MakeList({{c.listed, 1}});
  Record record = WithProcedures({"P1", "P2", "P3", "P4"});
  const RuleCondition condition = MakeCondition(
      RuleFunction::kDataItemInList, "Procedure", &list, c.from, c.to);
  EXPECT_EQ(Holds(record, condition), c.expected)
      << "from " << c.from << " to " << c.to << " list " << c.listed;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, RangeWalkTest,
    ::testing::Values(RangeCase{1, 4, "P3", true},    // whole sequence
                      RangeCase{3, 3, "P3", true},    // exactly its position
                      RangeCase{1, 2, "P3", false},   // stops after to
                      RangeCase{4, 4, "P3", false},   // skipped before from
                      RangeCase{2, 2, "P3", false},
                      RangeCase{4, 4, "P4", true},    // last position
                      RangeCase{5, 9, "P4", false},   // from beyond the end
                      RangeCase{1, 1, "P1", true},    // first position
                      RangeCase{2, 4, "P1", false},
                      RangeCase{0, 1, "P1", true},    // from 0 starts at first
                      RangeCase{-7, 1, "P1", true},   // negative from likewise
                      RangeCase{0, 0, "P1", false},   // to 0 covers nothing
                      RangeCase{3, 2, "P3", false},   // to below from
                      RangeCase{3, 2, "P2", false},
                      RangeCase{-3, -1, "P1", false},
                      RangeCase{1, 99, "P4", true},   // to beyond the end
                      RangeCase{INT32_MIN, INT32_MAX, "P4", true},
                      RangeCase{INT32_MAX, INT32_MAX, "P4", false}));

// ---------------------------------------------------------------------------
// DataItemInList (0): kinds

TEST_F(RuleContextTest, SingleItemHoldsWhenItsValueIsInTheList) {
  const CodeList list = MakeList({{"21", -1}});
  const RuleCondition condition =
      MakeCondition(RuleFunction::kDataItemInList, "ADMIMETH", &list);
  Record in_list;
  in_list.singles["ADMIMETH"] = "21";
  Record not_in_list;
  not_in_list.singles["ADMIMETH"] = "11";
  EXPECT_TRUE(Holds(in_list, condition));
  EXPECT_FALSE(Holds(not_in_list, condition));
}

TEST_F(RuleContextTest, AbsentSingleItemFailsWithoutBeingCreated) {
  const CodeList list = MakeList({{"", -1}});  // even the empty code
  Record record;
  EXPECT_FALSE(Holds(
      record, MakeCondition(RuleFunction::kDataItemInList, "ADMIMETH", &list)));
  EXPECT_EQ(record.FindSingle("ADMIMETH"), nullptr);
}

TEST_F(RuleContextTest, ItemOutsideDictionaryNeverHolds) {
  const CodeList list = MakeList({{"FZ11A", -1}});
  Record record;
  record.singles["DiagHRG"] = "FZ11A";
  record.lists["DiagHRG"] = {"FZ11A"};
  EXPECT_FALSE(Holds(
      record, MakeCondition(RuleFunction::kDataItemInList, "DiagHRG", &list)));
}

TEST_F(RuleContextTest, AbsentSequenceFailsWithoutBeingCreated) {
  const CodeList list = MakeList({{"P1", -1}});
  Record record;
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kDataItemInList,
                                           "Procedure", &list),
                     EvalMode::kDgvp));
  EXPECT_TRUE(record.lists.empty());
  EXPECT_EQ(record.FindSingle("DGVP"), nullptr);
}

// ---------------------------------------------------------------------------
// DataItemInList (0): DGVP discount

TEST_F(RuleContextTest, DgvpDiscountSkipsDominantProcedureOnce) {
  const CodeList list = MakeList({{"P1", -1}});
  const RuleCondition condition =
      MakeCondition(RuleFunction::kDataItemInList, "Procedure", &list);

  Record other_code = WithProcedures({"P1", "X2"});
  other_code.singles["DGVP"] = "P1";
  EXPECT_TRUE(Holds(other_code, condition, EvalMode::kPlain));
  EXPECT_FALSE(Holds(other_code, condition, EvalMode::kDgvp));

  Record twice = WithProcedures({"P1", "P1"});
  twice.singles["DGVP"] = "P1";
  EXPECT_TRUE(Holds(twice, condition, EvalMode::kDgvp));
}

TEST_F(RuleContextTest, DgvpDiscountOnlyPassesOverTheDominantCode) {
  const CodeList list = MakeList({{"P1", -1}, {"P2", -1}});
  const RuleCondition condition =
      MakeCondition(RuleFunction::kDataItemInList, "Procedure", &list);
  Record record = WithProcedures({"P2", "X3"});
  record.singles["DGVP"] = "P1";
  EXPECT_TRUE(Holds(record, condition, EvalMode::kDgvp));
}

TEST_F(RuleContextTest, DgvpDiscountCountsWithinTheRangeOnly) {
  const CodeList list = MakeList({{"P1", -1}});
  Record record = WithProcedures({"P1", "X2", "P1"});
  record.singles["DGVP"] = "P1";
  auto in_range = [&](int32_t from, int32_t to) {
    return Holds(record,
                 MakeCondition(RuleFunction::kDataItemInList, "Procedure",
                               &list, from, to),
                 EvalMode::kDgvp);
  };
  EXPECT_FALSE(in_range(1, 2));  // the only P1 in range is the dominant one
  EXPECT_FALSE(in_range(3, 3));
  EXPECT_FALSE(in_range(2, 3));
  EXPECT_TRUE(in_range(1, 3));
}

TEST_F(RuleContextTest, DgvpDiscountAppliesToProcedureItemsOnly) {
  const CodeList list = MakeList({{"P1", -1}});
  Record record;
  record.lists["Diagnosis"] = {"P1"};
  record.lists["ProcedureOld"] = {"P1"};
  record.singles["DGVP"] = "P1";
  EXPECT_TRUE(Holds(record,
                    MakeCondition(RuleFunction::kDataItemInList, "Diagnosis",
                                  &list),
                    EvalMode::kDgvp));
  EXPECT_FALSE(Holds(record,
                     MakeCondition(RuleFunction::kDataItemInList,
                                   "ProcedureOld", &list),
                     EvalMode::kDgvp));
}

TEST_F(RuleContextTest, DgvpModeCreatesAbsentDgvpItemEmpty) {
  const CodeList list = MakeList({{"P1", -1}});
  const RuleCondition condition =
      MakeCondition(RuleFunction::kDataItemInList, "Procedure", &list);
  Record plain = WithProcedures({"P1"});
  EXPECT_TRUE(Holds(plain, condition, EvalMode::kPlain));
  EXPECT_EQ(plain.FindSingle("DGVP"), nullptr);

  Record dgvp = WithProcedures({"P1"});
  EXPECT_TRUE(Holds(dgvp, condition, EvalMode::kDgvp));
  ASSERT_NE(dgvp.FindSingle("DGVP"), nullptr);
  EXPECT_EQ(*dgvp.FindSingle("DGVP"), "");
}

// ---------------------------------------------------------------------------
// NestedDataItemInList (1)

// Places within a run: P1 opens a run (place 1); S2, S2b (site) and A3
// (approach) are qualifiers of places 2, 2 and 3; A1 is an approach code of
// place 1; X9 is an ordinary code of place 2.
class NestedRunTest : public RuleContextTest {
 protected:
  NestedRunTest() {
    places_ = MakeList(
        {{"P1", 1}, {"A1", 1}, {"S2", 2}, {"S2b", 2}, {"A3", 3}, {"X9", 2}});
  }

  bool Nested(Codes codes, int16_t count, EvalMode mode = EvalMode::kPlain,
              const char* dgvp = nullptr, int32_t from = 1, int32_t to = 99) {
    Record record = WithProcedures(std::move(codes));
    if (dgvp != nullptr) record.singles["DGVP"] = dgvp;
    return Holds(record,
                 MakeCondition(RuleFunction::kNestedDataItemInList, "Procedure",
                               &places_, from, to, count),
                 mode);
  }

  CodeList places_;
};

TEST_F(NestedRunTest, RunOfThreeDistinctPlacesHolds) {
  EXPECT_TRUE(Nested({"P1", "S2", "A3"}, 3));
}

TEST_F(NestedRunTest, RepeatedPlaceClosesTheRun) {
  EXPECT_FALSE(Nested({"P1", "S2", "S2b"}, 3));
}

TEST_F(NestedRunTest, OrdinaryCodeClosesTheRun) {
  EXPECT_FALSE(Nested({"P1", "S2", "X1", "A3"}, 3));
  EXPECT_FALSE(Nested({"P1", "S2", "X9", "A3"}, 3));  // in list, not qualifier
}

TEST_F(NestedRunTest, BlankedAndUnlistedQualifiersKeepTheRunOpen) {
  EXPECT_TRUE(Nested({"P1", "", "S2", "Sout", "A3"}, 3));
}

TEST_F(NestedRunTest, QualifierWithPlaceAboveCountKeepsTheRunOpen) {
  EXPECT_TRUE(Nested({"P1", "A3", "S2"}, 2));
  EXPECT_FALSE(Nested({"P1", "A3"}, 2));
}

TEST_F(NestedRunTest, CodeThatClosesARunMayOpenTheNext) {
  // The second P1 ends the first run and opens another.
  EXPECT_TRUE(Nested({"P1", "S2", "P1", "S2", "A3"}, 3));
  EXPECT_FALSE(Nested({"P1", "S2", "P1", "A3"}, 3));
  // A qualifier of place 1 repeats place 1: it closes the run and reopens.
  EXPECT_TRUE(Nested({"P1", "S2", "A1", "S2", "A3"}, 3));
}

TEST_F(NestedRunTest, QualifierCannotOpenARunWithoutPlaceOne) {
  EXPECT_FALSE(Nested({"S2", "A3"}, 2));
  EXPECT_TRUE(Nested({"A1", "S2"}, 2));
}

TEST_F(NestedRunTest, CountOfOneIsMetByAnyCodeOfPlaceOne) {
  EXPECT_TRUE(Nested({"X1", "P1"}, 1));
  EXPECT_FALSE(Nested({"X1", "S2", "X9"}, 1));
}

TEST_F(NestedRunTest, CountOfZeroOrLessIsMetAtTheFirstCode) {
  EXPECT_TRUE(Nested({"X1"}, 0));
  EXPECT_TRUE(Nested({"X1"}, -4));
  EXPECT_FALSE(Nested({}, 0));
  EXPECT_FALSE(Nested({"X1"}, 0, EvalMode::kPlain, nullptr, 2, 9));
}

TEST_F(NestedRunTest, RunMustLieInsideTheRange) {
  EXPECT_FALSE(Nested({"P1", "S2", "A3"}, 3, EvalMode::kPlain, nullptr, 2, 9));
  EXPECT_FALSE(Nested({"P1", "S2", "A3"}, 3, EvalMode::kPlain, nullptr, 1, 2));
  EXPECT_TRUE(Nested({"X1", "P1", "S2", "A3"}, 3, EvalMode::kPlain, nullptr, 2,
                     4));
}

TEST_F(NestedRunTest, DgvpSkipPassesOverTheFirstDominantCodeOnly) {
  EXPECT_TRUE(Nested({"P1", "S2", "A3"}, 3, EvalMode::kPlain, "P1"));
  EXPECT_FALSE(Nested({"P1", "S2", "A3"}, 3, EvalMode::kDgvp, "P1"));
  EXPECT_TRUE(
      Nested({"P1", "S2", "A3", "P1", "S2", "A3"}, 3, EvalMode::kDgvp, "P1"));
}

TEST_F(NestedRunTest, DgvpSkipMakesNoCountComparison) {
  EXPECT_FALSE(Nested({"P1"}, 0, EvalMode::kDgvp, "P1"));
  EXPECT_TRUE(Nested({"P1", "X1"}, 0, EvalMode::kDgvp, "P1"));
}

TEST_F(NestedRunTest, DgvpSkipAppliesWhateverTheItemName) {
  Record record;
  record.lists["CCAC"] = {"P1", "S2"};
  record.singles["DGVP"] = "P1";
  const RuleCondition condition = MakeCondition(
      RuleFunction::kNestedDataItemInList, "CCAC", &places_, 1, 99, 2);
  EXPECT_TRUE(Holds(record, condition, EvalMode::kPlain));
  EXPECT_FALSE(Holds(record, condition, EvalMode::kDgvp));
}

TEST_F(NestedRunTest, AbsentSequenceFails) {
  Record record;
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kNestedDataItemInList,
                                           "Procedure", &places_, 1, 99, 0)));
  EXPECT_TRUE(record.lists.empty());
}

TEST_F(NestedRunTest, LongRunBeyondSixteenPlacesHolds) {
  CodeList places = MakeList({{"P1", 1}});
  Codes codes = {"P1"};
  for (int place = 2; place <= 40; ++place) {
    const std::string code = "S" + std::to_string(place);
    places.Set(code, place);
    site_.Set(code, -1);
    codes.push_back(code);
  }
  Record record = WithProcedures(codes);
  EXPECT_TRUE(Holds(record, MakeCondition(RuleFunction::kNestedDataItemInList,
                                          "Procedure", &places, 1, 99, 40)));
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kNestedDataItemInList,
                                           "Procedure", &places, 1, 99, 41)));
}

// ---------------------------------------------------------------------------
// SumListValues (5) and SumDistinctValues (6)

class SumTest : public RuleContextTest {
 protected:
  SumTest() { values_ = MakeList({{"B2", 2}, {"C3", 3}, {"N", -1}}); }

  bool Sum(RuleFunction function, Codes codes, int16_t count,
           int32_t from = 1, int32_t to = 999) {
    Record record = WithProcedures(std::move(codes));
    return Holds(record, MakeCondition(function, "Procedure", &values_, from,
                                       to, count));
  }

  CodeList values_;
};

TEST_F(SumTest, SumListValuesReachesTheCount) {
  EXPECT_TRUE(Sum(RuleFunction::kSumListValues, {"B2", "X", "C3"}, 5));
  EXPECT_FALSE(Sum(RuleFunction::kSumListValues, {"B2", "X", "C3"}, 6));
}

TEST_F(SumTest, SumListValuesCountsRepeats) {
  EXPECT_TRUE(Sum(RuleFunction::kSumListValues, {"B2", "B2", "C3"}, 7));
  EXPECT_FALSE(Sum(RuleFunction::kSumListValues, {"B2", "B2", "C3"}, 8));
}

TEST_F(SumTest, NegativeValuesReduceTheSum) {
  EXPECT_FALSE(Sum(RuleFunction::kSumListValues, {"B2", "N"}, 2));
  EXPECT_TRUE(Sum(RuleFunction::kSumListValues, {"B2", "N"}, 1));
}

TEST_F(SumTest, SumCoversTheRangeOnly) {
  EXPECT_TRUE(Sum(RuleFunction::kSumListValues, {"C3", "B2", "C3"}, 2, 2, 2));
  EXPECT_FALSE(Sum(RuleFunction::kSumListValues, {"C3", "B2", "C3"}, 3, 2, 2));
  EXPECT_TRUE(Sum(RuleFunction::kSumListValues, {"C3", "B2", "C3"}, 5, 2, 3));
  EXPECT_FALSE(Sum(RuleFunction::kSumListValues, {"C3", "B2", "C3"}, 6, 2, 3));
}

TEST_F(SumTest, EmptySequenceMeetsACountOfZero) {
  EXPECT_TRUE(Sum(RuleFunction::kSumListValues, {}, 0));
  EXPECT_FALSE(Sum(RuleFunction::kSumListValues, {}, 1));
  EXPECT_TRUE(Sum(RuleFunction::kSumDistinctValues, {}, 0));
}

TEST_F(SumTest, AbsentSequenceFailsEvenForCountZero) {
  Record record;
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kSumListValues,
                                           "Procedure", &values_, 1, 99, 0)));
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kSumDistinctValues,
                                           "Procedure", &values_, 1, 99, 0)));
}

TEST_F(SumTest, SumDistinctValuesCountsEachCodeOnce) {
  EXPECT_TRUE(Sum(RuleFunction::kSumDistinctValues, {"B2", "B2", "C3"}, 5));
  EXPECT_FALSE(Sum(RuleFunction::kSumDistinctValues, {"B2", "B2", "C3"}, 6));
}

TEST_F(SumTest, SumDistinctIgnoresRepeatsOutsideTheRange) {
  // The B2 at position 1 lies before the range; the one at 3 still counts.
  EXPECT_TRUE(
      Sum(RuleFunction::kSumDistinctValues, {"B2", "C3", "B2"}, 5, 2, 3));
  EXPECT_FALSE(
      Sum(RuleFunction::kSumDistinctValues, {"B2", "C3", "B2"}, 6, 2, 3));
}

TEST_F(SumTest, SumDistinctOverLongSequences) {
  Codes codes;
  for (int i = 0; i < 150; ++i) codes.push_back(i % 2 == 0 ? "B2" : "C3");
  EXPECT_TRUE(Sum(RuleFunction::kSumDistinctValues, codes, 5));
  EXPECT_FALSE(Sum(RuleFunction::kSumDistinctValues, codes, 6));
  EXPECT_TRUE(Sum(RuleFunction::kSumListValues, codes, 375));
  EXPECT_FALSE(Sum(RuleFunction::kSumListValues, codes, 376));
}

// ---------------------------------------------------------------------------
// AllDataItemInList (8)

TEST_F(RuleContextTest, AllDataItemFindsCodeBlankedByCodeDeletion) {
  const CodeList list = MakeList({{"P1", -1}});
  Record record = WithProcedures({"", "X2"});
  record.lists["ProcedureOld"] = {"P1", "X2"};
  const RuleCondition condition =
      MakeCondition(RuleFunction::kAllDataItemInList, "Procedure", &list);
  EXPECT_TRUE(Holds(record, condition));
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kDataItemInList,
                                           "Procedure", &list)));
}

TEST_F(RuleContextTest, AllDataItemNeedsTheItemsOwnSequence) {
  const CodeList list = MakeList({{"P1", -1}});
  Record record;
  record.lists["ProcedureOld"] = {"P1"};
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kAllDataItemInList,
                                           "Procedure", &list)));
}

TEST_F(RuleContextTest, AllDataItemAppliesRangeToTheOldSequence) {
  const CodeList list = MakeList({{"P1", -1}});
  Record record = WithProcedures({"X1", ""});
  record.lists["ProcedureOld"] = {"X1", "P1"};
  EXPECT_FALSE(Holds(record, MakeCondition(RuleFunction::kAllDataItemInList,
                                           "Procedure", &list, 1, 1)));
  EXPECT_TRUE(Holds(record, MakeCondition(RuleFunction::kAllDataItemInList,
                                          "Procedure", &list, 2, 2)));
}

TEST_F(RuleContextTest, AllDataItemDiscountsDominantInEachSequence) {
  const CodeList list = MakeList({{"P1", -1}});
  const RuleCondition condition =
      MakeCondition(RuleFunction::kAllDataItemInList, "Procedure", &list);
  Record once = WithProcedures({"P1"});
  once.lists["ProcedureOld"] = {"P1"};
  once.singles["DGVP"] = "P1";
  EXPECT_FALSE(Holds(once, condition, EvalMode::kDgvp));
  EXPECT_TRUE(Holds(once, condition, EvalMode::kPlain));

  Record twice_old = WithProcedures({"P1"});
  twice_old.lists["ProcedureOld"] = {"P1", "P1"};
  twice_old.singles["DGVP"] = "P1";
  EXPECT_TRUE(Holds(twice_old, condition, EvalMode::kDgvp));
}

TEST_F(RuleContextTest, AllDataItemOnSingleItemIsDataItemInList) {
  const CodeList list = MakeList({{"1", -1}});
  Record record;
  record.singles["SEX"] = "1";
  record.singles["SEXOld"] = "2";
  EXPECT_TRUE(Holds(
      record, MakeCondition(RuleFunction::kAllDataItemInList, "SEX", &list)));
  record.singles["SEX"] = "2";
  record.singles["SEXOld"] = "1";
  EXPECT_FALSE(Holds(
      record, MakeCondition(RuleFunction::kAllDataItemInList, "SEX", &list)));
}

// ---------------------------------------------------------------------------
// NextDataItemInList (9)

class GateTest : public RuleContextTest {
 protected:
  Record Gated(Codes procedures, const char* field, const char* position) {
    Record record = WithProcedures(std::move(procedures));
    record.singles["GateTriggerField"] = field;
    record.singles["GateTriggerPos"] = position;
    return record;
  }
  bool Next(Record& record, const CodeList& list, int32_t from = 1,
            int32_t to = 99) {
    return Holds(record, MakeCondition(RuleFunction::kNextDataItemInList,
                                       "Procedure", &list, from, to));
  }
  bool Rel(Record& record, const CodeList& list) {
    return Holds(record, MakeCondition(RuleFunction::kRelDataItemInList,
                                       "Procedure", &list));
  }
};

TEST_F(GateTest, NextCodeAfterTheGatePositionMustBeInList) {
  const CodeList next = MakeList({{"N2", -1}});
  const CodeList trigger = MakeList({{"T1", -1}});
  Record record = Gated({"T1", "N2"}, "Procedure", "0");
  EXPECT_TRUE(Next(record, next));
  EXPECT_FALSE(Next(record, trigger));
}

TEST_F(GateTest, NextCodeIgnoresFromAndTo) {
  const CodeList next = MakeList({{"N2", -1}});
  Record record = Gated({"T1", "N2"}, "Procedure", "0");
  EXPECT_TRUE(Next(record, next, 5, 1));
}

TEST_F(GateTest, NextCodeNeedsGateFieldToNameTheItem) {
  const CodeList next = MakeList({{"N2", -1}});
  Record record = Gated({"T1", "N2"}, "Diagnosis", "0");
  record.lists["Diagnosis"] = {"T1", "N2"};
  EXPECT_FALSE(Next(record, next));
}

TEST_F(GateTest, NextCodeCreatesAbsentGateFieldButStopsThere) {
  const CodeList next = MakeList({{"N2", -1}});
  Record record = WithProcedures({"T1", "N2"});
  EXPECT_FALSE(Next(record, next));
  ASSERT_NE(record.FindSingle("GateTriggerField"), nullptr);
  EXPECT_EQ(*record.FindSingle("GateTriggerField"), "");
  EXPECT_EQ(record.FindSingle("GateTriggerPos"), nullptr);
}

TEST_F(GateTest, NextCodeCreatesAbsentGatePositionEmptyAndFails) {
  const CodeList next = MakeList({{"T1", -1}, {"N2", -1}});
  Record record = WithProcedures({"T1", "N2"});
  record.singles["GateTriggerField"] = "Procedure";
  EXPECT_FALSE(Next(record, next));
  ASSERT_NE(record.FindSingle("GateTriggerPos"), nullptr);
  EXPECT_EQ(*record.FindSingle("GateTriggerPos"), "");
}

TEST_F(GateTest, NextCodeNeedsAnArrayItemThatExists) {
  const CodeList list = MakeList({{"N2", -1}});
  Record single;
  single.singles["SEX"] = "N2";
  single.singles["GateTriggerField"] = "SEX";
  single.singles["GateTriggerPos"] = "-1";
  EXPECT_FALSE(Holds(
      single, MakeCondition(RuleFunction::kNextDataItemInList, "SEX", &list)));

  Record absent;
  absent.singles["GateTriggerField"] = "Procedure";
  absent.singles["GateTriggerPos"] = "0";
  EXPECT_FALSE(Next(absent, list));
  EXPECT_TRUE(absent.lists.empty());
}

struct PositionCase {
  const char* position;
  bool expected;
};

class NextPositionTest : public GateTest,
                         public ::testing::WithParamInterface<PositionCase> {};

// Over procedures "T1", "N2", "T3" with the list {"N2"}.
TEST_P(NextPositionTest, ReadsTheGatePositionLikeLeadingDigits) {
  const CodeList next = MakeList({{"N2", -1}});
  Record record = Gated({"T1", "N2", "T3"}, "Procedure", GetParam().position);
  EXPECT_EQ(Next(record, next), GetParam().expected)
      << "GateTriggerPos \"" << GetParam().position << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Positions, NextPositionTest,
    ::testing::Values(PositionCase{"0", true}, PositionCase{"1", false},
                      PositionCase{" 0", true}, PositionCase{"+0", true},
                      PositionCase{"0x", true}, PositionCase{"00", true},
                      PositionCase{"2", false},    // last code: nothing next
                      PositionCase{"3", false},    // beyond the end
                      PositionCase{"-2", false},   // no code at -1
                      PositionCase{"", false},     // not a number
                      PositionCase{"x0", false}, PositionCase{"-", false},
                      PositionCase{"99999999999", false},
                      PositionCase{"-99999999999", false}));

TEST_F(GateTest, GatePositionMinusOneMakesTheFirstCodeNext) {
  const CodeList first = MakeList({{"T1", -1}});
  Record record = Gated({"T1", "N2"}, "Procedure", "-1");
  EXPECT_TRUE(Next(record, first));
}

TEST_F(GateTest, GatePositionBelowMinusOneHasNoNextCode) {
  const CodeList first = MakeList({{"T1", -1}});
  Record record = Gated({"T1", "N2"}, "Procedure", "-2");
  EXPECT_FALSE(Next(record, first));
}

// ---------------------------------------------------------------------------
// RelDataItemInList (7)

TEST_F(GateTest, RelativeTestFindsListedQualifierAfterTheTrigger) {
  // Two ordinary codes (the trigger at 0-based 1), a site code outside the
  // list, an approach code in the list, an ordinary code.
  const CodeList listed = MakeList({{"A3", -1}});
  Record record = Gated({"X0", "T1", "Sout", "A3", "X4"}, "Procedure", "1");
  EXPECT_TRUE(Rel(record, listed));
}

TEST_F(GateTest, RelativeTestStopsAtTheFirstOrdinaryCode) {
  const CodeList unlisted_approach = MakeList({{"A1", -1}, {"X4", -1}});
  Record record = Gated({"X0", "T1", "Sout", "A3", "X4"}, "Procedure", "1");
  EXPECT_FALSE(Rel(record, unlisted_approach));
  const CodeList after_ordinary = MakeList({{"A3", -1}});
  Record blocked = Gated({"T0", "X1", "A3"}, "Procedure", "0");
  EXPECT_FALSE(Rel(blocked, after_ordinary));
}

TEST_F(GateTest, RelativeTestLooksOnlyAfterTheGatePosition) {
  const CodeList listed = MakeList({{"A3", -1}});
  Record record = Gated({"T0", "A3", "T2", "S2"}, "Procedure", "2");
  EXPECT_FALSE(Rel(record, listed));
  Record earlier = Gated({"T0", "A3", "T2", "S2"}, "Procedure", "0");
  EXPECT_TRUE(Rel(earlier, listed));
}

TEST_F(GateTest, RelativeTestPassesBlankedCodes) {
  const CodeList listed = MakeList({{"S2", -1}});
  Record record = Gated({"T0", "", "", "S2"}, "Procedure", "0");
  EXPECT_TRUE(Rel(record, listed));
}

TEST_F(GateTest, RelativeTestEndsFalseAtTheEndOfTheSequence) {
  const CodeList listed = MakeList({{"S2", -1}});
  Record record = Gated({"T0", "A1"}, "Procedure", "0");
  EXPECT_FALSE(Rel(record, listed));
  Record beyond = Gated({"T0", "S2"}, "Procedure", "7");
  EXPECT_FALSE(Rel(beyond, listed));
}

TEST_F(GateTest, RelativeTestWithNegativePositionStartsAtTheFirstCode) {
  const CodeList listed = MakeList({{"S2", -1}});
  Record record = Gated({"A1", "S2", "X1"}, "Procedure", "-40");
  EXPECT_TRUE(Rel(record, listed));
}

TEST_F(GateTest, RelativeTestFailsOnGateFieldOrPositionProblems) {
  const CodeList listed = MakeList({{"S2", -1}});
  Record other_field = Gated({"T0", "S2"}, "Diagnosis", "0");
  EXPECT_FALSE(Rel(other_field, listed));
  Record not_a_number = Gated({"T0", "S2"}, "Procedure", "first");
  EXPECT_FALSE(Rel(not_a_number, listed));
  Record no_gate = WithProcedures({"T0", "S2"});
  EXPECT_FALSE(Rel(no_gate, listed));
  EXPECT_NE(no_gate.FindSingle("GateTriggerField"), nullptr);
}

// ---------------------------------------------------------------------------
// Conditions without a test, and without a list

TEST_F(RuleContextTest, FunctionsWithoutTestDoNotHold) {
  const CodeList list = MakeList({{"P1", 1}});
  Record record = WithProcedures({"P1"});
  for (int code : {2, 3, 10, 200, 255}) {
    const RuleCondition condition = MakeCondition(
        static_cast<RuleFunction>(code), "Procedure", &list, 1, 99, 0);
    EXPECT_FALSE(Holds(record, condition)) << "function " << code;
  }
}

TEST_F(RuleContextTest, ConditionWithoutListHoldsOnlyForTrue) {
  Record record = WithProcedures({"P1"});
  record.singles["GateTriggerField"] = "Procedure";
  record.singles["GateTriggerPos"] = "-1";
  for (int code = 0; code <= 9; ++code) {
    const RuleCondition condition = MakeCondition(
        static_cast<RuleFunction>(code), "Procedure", nullptr, 1, 99, 0);
    EXPECT_EQ(Holds(record, condition), code == 4) << "function " << code;
  }
}

// ---------------------------------------------------------------------------
// EvaluateRule

TEST_F(RuleContextTest, MissingRuleDoesNotHoldAndEmptyRuleHolds) {
  Record record;
  const Rule empty;
  EXPECT_FALSE(context_.EvaluateRule(record, nullptr, EvalMode::kPlain));
  EXPECT_TRUE(context_.EvaluateRule(record, &empty, EvalMode::kPlain));
}

TEST_F(RuleContextTest, RuleOfTrueConditionsHolds) {
  Record record;
  const Rule rule =
      MakeRule({MakeCondition(RuleFunction::kTrue, "Procedure", nullptr),
                MakeCondition(RuleFunction::kTrue, "HRG", nullptr)});
  EXPECT_TRUE(context_.EvaluateRule(record, &rule, EvalMode::kDgvp));
  EXPECT_TRUE(record.singles.empty());
  EXPECT_TRUE(record.lists.empty());
}

TEST_F(RuleContextTest, RuleHoldsWhenEveryConditionHolds) {
  const CodeList procs = MakeList({{"P1", -1}});
  const CodeList sexes = MakeList({{"2", -1}});
  Record record = WithProcedures({"P1"});
  record.singles["SEX"] = "2";
  const Rule rule = MakeRule(
      {MakeCondition(RuleFunction::kDataItemInList, "Procedure", &procs),
       MakeCondition(RuleFunction::kTrue, "", nullptr),
       MakeCondition(RuleFunction::kDataItemInList, "SEX", &sexes)});
  EXPECT_TRUE(context_.EvaluateRule(record, &rule, EvalMode::kPlain));
  record.singles["SEX"] = "1";
  EXPECT_FALSE(context_.EvaluateRule(record, &rule, EvalMode::kPlain));
}

// A later condition whose test would create "GateTriggerField" shows whether
// evaluation went on after a false condition.
TEST_F(RuleContextTest, RuleStopsAtTheFirstFalseCondition) {
  const CodeList procs = MakeList({{"P1", -1}});
  const RuleCondition next =
      MakeCondition(RuleFunction::kNextDataItemInList, "Procedure", &procs);
  Record record = WithProcedures({"P1"});

  const Rule fails_first = MakeRule(
      {MakeCondition(RuleFunction::kDataItemInList, "Diagnosis", &procs),
       next});
  EXPECT_FALSE(context_.EvaluateRule(record, &fails_first, EvalMode::kPlain));
  EXPECT_EQ(record.FindSingle("GateTriggerField"), nullptr);

  const Rule unknown_first = MakeRule(
      {MakeCondition(static_cast<RuleFunction>(2), "Procedure", &procs), next});
  EXPECT_FALSE(
      context_.EvaluateRule(record, &unknown_first, EvalMode::kPlain));
  EXPECT_EQ(record.FindSingle("GateTriggerField"), nullptr);

  const Rule holds_first = MakeRule(
      {MakeCondition(RuleFunction::kDataItemInList, "Procedure", &procs),
       next});
  EXPECT_FALSE(context_.EvaluateRule(record, &holds_first, EvalMode::kPlain));
  EXPECT_NE(record.FindSingle("GateTriggerField"), nullptr);
}

// ---------------------------------------------------------------------------
// EvaluateTriggers

class TriggerListTest : public RuleContextTest {
 protected:
  TriggerListTest() {
    p1_ = MakeList({{"P1", -1}});
    yes_ = MakeRule({MakeCondition(RuleFunction::kTrue, "", nullptr)});
    no_ = MakeRule(
        {MakeCondition(RuleFunction::kDataItemInList, "Diagnosis", &p1_)});
    has_p1_ = MakeRule(
        {MakeCondition(RuleFunction::kDataItemInList, "Procedure", &p1_)});
  }

  static HrgEntry Entry(const char* hrg, const Rule* rule) {
    HrgEntry entry;
    entry.hrg = hrg;
    entry.rule = rule;
    return entry;
  }
  static Trigger MakeTrigger(const Rule* rule, std::vector<HrgEntry> entries) {
    Trigger trigger;
    trigger.rule = rule;
    trigger.entries = std::move(entries);
    return trigger;
  }

  CodeList p1_;
  Rule yes_;
  Rule no_;
  Rule has_p1_;
};

TEST_F(TriggerListTest, TriggerWhoseEntriesAllFailDoesNotStopTheSearch) {
  const TriggerList triggers = {
      MakeTrigger(&yes_, {Entry("AA01A", &no_), Entry("AA01B", &no_)}),
      MakeTrigger(&yes_, {Entry("BB01A", &yes_), Entry("BB01B", &yes_)})};
  Record record;
  TriggerMatch match;
  ASSERT_TRUE(
      context_.EvaluateTriggers(record, triggers, EvalMode::kPlain, &match));
  EXPECT_EQ(match.trigger, &triggers[1]);
  EXPECT_EQ(match.entry, &triggers[1].entries[0]);
  EXPECT_EQ(match.entry->hrg, "BB01A");
}

TEST_F(TriggerListTest, FirstHoldingEntryOfFirstHoldingTriggerWins) {
  const TriggerList triggers = {
      MakeTrigger(&no_, {Entry("AA01A", &yes_)}),
      MakeTrigger(&yes_, {Entry("BB01A", &no_), Entry("BB01B", nullptr),
                          Entry("BB01C", &yes_), Entry("BB01D", &yes_)}),
      MakeTrigger(&yes_, {Entry("CC01A", &yes_)})};
  Record record;
  TriggerMatch match;
  ASSERT_TRUE(
      context_.EvaluateTriggers(record, triggers, EvalMode::kPlain, &match));
  EXPECT_EQ(match.entry->hrg, "BB01C");
  EXPECT_EQ(match.trigger, &triggers[1]);
}

TEST_F(TriggerListTest, NoMatchLeavesAnEmptyMatch) {
  const TriggerList triggers = {MakeTrigger(&no_, {Entry("AA01A", &yes_)}),
                                MakeTrigger(nullptr, {Entry("BB01A", &yes_)}),
                                MakeTrigger(&yes_, {})};
  Record record;
  TriggerMatch match{&triggers[0], &triggers[0].entries[0]};
  EXPECT_FALSE(
      context_.EvaluateTriggers(record, triggers, EvalMode::kPlain, &match));
  EXPECT_EQ(match.trigger, nullptr);
  EXPECT_EQ(match.entry, nullptr);

  const TriggerList none;
  match = TriggerMatch{&triggers[0], &triggers[0].entries[0]};
  EXPECT_FALSE(context_.EvaluateTriggers(record, none, EvalMode::kDgvp, &match));
  EXPECT_EQ(match.entry, nullptr);
}

TEST_F(TriggerListTest, ModeReachesTheConditions) {
  const TriggerList triggers = {
      MakeTrigger(&yes_, {Entry("AA01A", &has_p1_), Entry("AA01B", &yes_)})};
  Record record = WithProcedures({"P1"});
  record.singles["DGVP"] = "P1";
  TriggerMatch match;
  ASSERT_TRUE(
      context_.EvaluateTriggers(record, triggers, EvalMode::kPlain, &match));
  EXPECT_EQ(match.entry->hrg, "AA01A");
  ASSERT_TRUE(
      context_.EvaluateTriggers(record, triggers, EvalMode::kDgvp, &match));
  EXPECT_EQ(match.entry->hrg, "AA01B");
}

}  // namespace
}  // namespace zorvel
