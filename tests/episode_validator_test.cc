// Validator configurations that no mode uses, so that no request reaches
// them: flag items, required arrays, replacements in arrays and items outside
// the dictionary. The checks the modes make are shown by
// tests/cases/validation.json.
#include "refdata/episode_validator.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/error_catalogue.h"

namespace zorvel {
namespace {

// The errors of `record`, each as "field index 'value' message; ".
std::string Errors(const Record& record) {
  std::string text;
  for (const GroupingError& e : record.errors) {
    text += e.field + " " + e.index + " '" + e.text + "' ";
    text.append(MessageText(e.message)).append("; ");
  }
  return text;
}

const ValidationLists& Lists() {
  static const ValidationLists lists = {{"EpiDur", {"0", "10"}}, {"CCAC", {"01", "02"}}};
  return lists;
}

TEST(EpisodeValidatorTest, FlagItemMarksBlankAndInvalidValuesOnce) {
  EpisodeValidator validator(Lists());
  ASSERT_TRUE(validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV"));
  Record blank, invalid, valid, flagged;
  invalid.Set("EpiDur", "7x");
  valid.Set("EpiDur", "10");
  flagged.Set("EpiDur", "7x");
  flagged.Set("EpiDurV", "Q");
  EXPECT_FALSE(validator.Validate(blank));
  EXPECT_FALSE(validator.Validate(invalid));
  EXPECT_TRUE(validator.Validate(valid));
  EXPECT_FALSE(validator.Validate(flagged));
  EXPECT_EQ(blank.SortedSingles(), (SingleValues{{"EpiDur", ""}, {"EpiDurV", "E"}}));
  EXPECT_EQ(invalid.SortedSingles(), (SingleValues{{"EpiDur", "0"}, {"EpiDurV", "F"}}));
  EXPECT_EQ(valid.SortedSingles(), (SingleValues{{"EpiDur", "10"}}));
  EXPECT_EQ(flagged.SortedSingles(), (SingleValues{{"EpiDur", "0"}, {"EpiDurV", "Q"}}));
}

TEST(EpisodeValidatorTest, RequiredArrayMustExistWithoutEmptyElements) {
  EpisodeValidator validator(Lists());
  validator.AddCheck("CCAC", false, "CCAC");
  Record missing, empty, gap;
  empty.List("CCAC") = {};
  gap.List("CCAC") = {"01", ""};
  EXPECT_FALSE(validator.Validate(missing));
  EXPECT_TRUE(validator.Validate(empty));
  EXPECT_FALSE(validator.Validate(gap));
  EXPECT_EQ(Errors(missing), "CCAC 0 '' is blank; ");
  EXPECT_EQ(missing.SortedLists(), (ListValues{{"CCAC", {}}}));
  EXPECT_EQ(Errors(gap), "CCAC 1 '' is invalid; ");
}

TEST(EpisodeValidatorTest, ArrayReplacementAppliesToEveryInvalidElement) {
  EpisodeValidator validator(Lists());
  validator.AddCheck("CCAC", false, "CCAC", "00", "CcacField", "CcacFlag");
  Record record;
  record.List("CCAC") = {"99", "02", "1"};
  EXPECT_FALSE(validator.Validate(record));
  // The error field and the flag item apply to single items only.
  EXPECT_EQ(Errors(record), "CCAC 0 '99' is invalid; CCAC 2 '1' is invalid; ");
  EXPECT_EQ(record.List("CCAC"), (std::vector<std::string>{"00", "02", "00"}));
  EXPECT_TRUE(record.SortedSingles().empty());
}

TEST(EpisodeValidatorTest, ItemOutsideTheDictionaryIsNotChecked) {
  EpisodeValidator validator(Lists());
  EXPECT_FALSE(validator.AddCheck("NoSuchList", false, "EpiDur"));
  ASSERT_TRUE(validator.AddCheck("EpiDur", false, "DiagHRG", "0", "", "Flag"));
  EXPECT_EQ(validator.checks().size(), 1u);
  Record record, empty;
  record.Set("DiagHRG", "x");
  EXPECT_TRUE(validator.Validate(record));
  EXPECT_TRUE(validator.Validate(empty));
  EXPECT_EQ(record.SortedSingles(), (SingleValues{{"DiagHRG", "x"}}));
  EXPECT_TRUE(empty.SortedSingles().empty());
}

}  // namespace
}  // namespace zorvel
