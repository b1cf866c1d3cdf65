// Tests of the episode field checks: blank and invalid single values, array
// elements, replacements, error fields and flag items.
#include "refdata/episode_validator.h"

#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

// Errors are compared as one line of text each, so that a failure shows
// every field of the entries involved.
std::string Describe(const GroupingError& e) {
  return "field \"" + e.field + "\" text \"" + e.text + "\" index \"" +
         e.index + "\" message " + std::to_string(e.message) + " section " +
         std::to_string(e.section);
}

std::vector<std::string> Errors(const Record& record) {
  std::vector<std::string> lines;
  for (const GroupingError& e : record.errors) lines.push_back(Describe(e));
  return lines;
}

std::string Blank(const char* field, const char* index = "") {
  return "field \"" + std::string(field) + "\" text \"\" index \"" + index +
         "\" message 2 section 0";
}

std::string Invalid(const char* field, const char* value,
                    const char* index = "") {
  return "field \"" + std::string(field) + "\" text \"" + value +
         "\" index \"" + index + "\" message 3 section 0";
}

class EpisodeValidatorTest : public ::testing::Test {
 protected:
  EpisodeValidatorTest() {
    lists_["EpiDur"] = {"0", "1", "2", "10"};
    lists_["ICD"] = {"A01.0", "B02.1", "C03.2"};
    lists_["PerWtBand"] = {"1", "2", "3"};
    lists_["CCAC"] = {"01", "02", "03"};
    lists_["SEX"] = {"1", "2"};
  }

  ValidationLists lists_;
};

TEST_F(EpisodeValidatorTest, AddCheckNeedsTheValidationList) {
  EpisodeValidator validator(lists_);
  EXPECT_FALSE(validator.AddCheck("NoSuchList", false, "SEX"));
  EXPECT_TRUE(validator.checks().empty());
  EXPECT_TRUE(validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV"));
  ASSERT_EQ(validator.checks().size(), 1u);
  const FieldCheck& check = validator.checks()[0];
  EXPECT_EQ(check.item, "EpiDur");
  EXPECT_EQ(check.valid_set, &lists_["EpiDur"]);
  EXPECT_FALSE(check.optional);
  EXPECT_EQ(check.kind, kSingle);
  EXPECT_EQ(check.replacement, "0");
  EXPECT_EQ(check.error_field, "");
  EXPECT_EQ(check.flag_item, "EpiDurV");
}

TEST_F(EpisodeValidatorTest, ChecksTakeTheirKindFromTheDictionary) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("ICD", true, "Diagnosis");
  validator.AddCheck("ICD", true, "DiagHRG");
  EXPECT_EQ(validator.checks()[0].kind, kArray);
  EXPECT_EQ(validator.checks()[1].kind, kUnknownItem);
}

TEST_F(EpisodeValidatorTest, MissingRequiredValueIsCreatedBlankAndFlagged) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV");
  Record record;
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record), std::vector<std::string>{Blank("EpiDur")});
  ASSERT_NE(record.FindSingle("EpiDur"), nullptr);
  EXPECT_EQ(*record.FindSingle("EpiDur"), "");  // not replaced when blank
  EXPECT_EQ(record.singles["EpiDurV"], "E");
}

TEST_F(EpisodeValidatorTest, EmptyRequiredValueIsBlank) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV");
  Record record;
  record.singles["EpiDur"] = "";
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record), std::vector<std::string>{Blank("EpiDur")});
  EXPECT_EQ(record.singles["EpiDurV"], "E");
}

TEST_F(EpisodeValidatorTest, InvalidValueIsReportedReplacedAndFlagged) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV");
  Record record;
  record.singles["EpiDur"] = "7x";
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record), std::vector<std::string>{Invalid("EpiDur", "7x")});
  EXPECT_EQ(record.singles["EpiDur"], "0");
  EXPECT_EQ(record.singles["EpiDurV"], "F");
}

TEST_F(EpisodeValidatorTest, FlagItemKeepsAnEarlierValue) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV");
  Record invalid;
  invalid.singles["EpiDur"] = "7x";
  invalid.singles["EpiDurV"] = "Q";
  EXPECT_FALSE(validator.Validate(invalid));
  EXPECT_EQ(invalid.singles["EpiDurV"], "Q");

  Record blank;
  blank.singles["EpiDurV"] = "";
  EXPECT_FALSE(validator.Validate(blank));
  EXPECT_EQ(blank.singles["EpiDurV"], "");
}

TEST_F(EpisodeValidatorTest, ValidValuePassesUntouched) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV");
  Record record;
  record.singles["EpiDur"] = "10";
  EXPECT_TRUE(validator.Validate(record));
  EXPECT_TRUE(record.errors.empty());
  EXPECT_EQ(record.singles["EpiDur"], "10");
  EXPECT_EQ(record.FindSingle("EpiDurV"), nullptr);
}

TEST_F(EpisodeValidatorTest, InvalidValueWithoutReplacementIsKept) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("SEX", false, "SEX");
  Record record;
  record.singles["SEX"] = "9";
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record), std::vector<std::string>{Invalid("SEX", "9")});
  EXPECT_EQ(record.singles["SEX"], "9");
}

TEST_F(EpisodeValidatorTest, ComparisonIsCaseSensitive) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("ICD", true, "Diagnosis");
  Record record;
  record.lists["Diagnosis"] = {"a01.0"};
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record),
            std::vector<std::string>{Invalid("Diagnosis", "a01.0", "0")});
}

TEST_F(EpisodeValidatorTest, OptionalSingleMayBeBlankButNotInvalid) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("SEX", true, "SEX", "1", "", "SexFlag");
  Record absent;
  EXPECT_TRUE(validator.Validate(absent));
  EXPECT_TRUE(absent.singles.empty());

  Record invalid;
  invalid.singles["SEX"] = "X";
  EXPECT_FALSE(validator.Validate(invalid));
  EXPECT_EQ(Errors(invalid), std::vector<std::string>{Invalid("SEX", "X")});
  EXPECT_EQ(invalid.singles["SEX"], "1");
  EXPECT_EQ(invalid.singles["SexFlag"], "F");
}

TEST_F(EpisodeValidatorTest, ErrorFieldNamesBlankAndInvalidSingleErrors) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("PerWtBand", false, "PerWtBand", "", "PerWt");
  Record invalid;
  invalid.singles["PerWtBand"] = "9";
  EXPECT_FALSE(validator.Validate(invalid));
  EXPECT_EQ(Errors(invalid), std::vector<std::string>{Invalid("PerWt", "9")});

  Record blank;
  EXPECT_FALSE(validator.Validate(blank));
  EXPECT_EQ(Errors(blank), std::vector<std::string>{Blank("PerWt")});
  EXPECT_EQ(blank.FindSingle("PerWt"), nullptr);
  EXPECT_NE(blank.FindSingle("PerWtBand"), nullptr);
}

TEST_F(EpisodeValidatorTest, OptionalArrayPassesOverEmptyElements) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("ICD", true, "Diagnosis");
  Record record;
  record.lists["Diagnosis"] = {"A01.0", "", "Z99.9"};
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record),
            std::vector<std::string>{Invalid("Diagnosis", "Z99.9", "2")});
}

TEST_F(EpisodeValidatorTest, RequiredArrayReportsEmptyElementsAsInvalid) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("ICD", false, "Diagnosis");
  Record record;
  record.lists["Diagnosis"] = {"A01.0", ""};
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record),
            std::vector<std::string>{Invalid("Diagnosis", "", "1")});
}

TEST_F(EpisodeValidatorTest, EveryInvalidElementIsReportedAndReplaced) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("CCAC", false, "CCAC", "00", "CcacField", "CcacFlag");
  Record record;
  record.lists["CCAC"] = {"99", "02", "1", "03"};
  EXPECT_FALSE(validator.Validate(record));
  // Error field and flag item apply to single items only.
  EXPECT_EQ(Errors(record), (std::vector<std::string>{
                               Invalid("CCAC", "99", "0"),
                               Invalid("CCAC", "1", "2")}));
  EXPECT_EQ(record.lists["CCAC"],
            (std::vector<std::string>{"00", "02", "00", "03"}));
  EXPECT_EQ(record.FindSingle("CcacFlag"), nullptr);
}

TEST_F(EpisodeValidatorTest, MissingRequiredArrayIsCreatedEmpty) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("CCAC", false, "CCAC");
  Record record;
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record), std::vector<std::string>{Blank("CCAC", "0")});
  ASSERT_NE(record.FindList("CCAC"), nullptr);
  EXPECT_TRUE(record.FindList("CCAC")->empty());
}

TEST_F(EpisodeValidatorTest, MissingOptionalArrayPassesUncreated) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("CCAC", true, "CCAC");
  Record record;
  EXPECT_TRUE(validator.Validate(record));
  EXPECT_TRUE(record.lists.empty());
}

TEST_F(EpisodeValidatorTest, EmptyRequiredArrayPasses) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("CCAC", false, "CCAC");
  Record record;
  record.lists["CCAC"] = {};
  EXPECT_TRUE(validator.Validate(record));
  EXPECT_TRUE(record.errors.empty());
}

TEST_F(EpisodeValidatorTest, ItemOutsideDictionaryIsNotChecked) {
  EpisodeValidator validator(lists_);
  ASSERT_TRUE(validator.AddCheck("SEX", false, "DiagHRG", "1", "", "Flag"));
  Record record;
  record.singles["DiagHRG"] = "not a sex";
  EXPECT_TRUE(validator.Validate(record));
  EXPECT_TRUE(record.errors.empty());
  EXPECT_EQ(record.singles["DiagHRG"], "not a sex");
  EXPECT_EQ(record.FindSingle("Flag"), nullptr);

  Record empty;
  EXPECT_TRUE(validator.Validate(empty));
  EXPECT_TRUE(empty.singles.empty());
}

TEST_F(EpisodeValidatorTest, AllChecksRunInOrderAfterAFailure) {
  EpisodeValidator validator(lists_);
  validator.AddCheck("SEX", false, "SEX");
  validator.AddCheck("EpiDur", false, "EpiDur", "0", "", "EpiDurV");
  validator.AddCheck("ICD", true, "Diagnosis");
  Record record;
  record.singles["EpiDur"] = "x";
  record.lists["Diagnosis"] = {"Q"};
  EXPECT_FALSE(validator.Validate(record));
  EXPECT_EQ(Errors(record),
            (std::vector<std::string>{Blank("SEX"), Invalid("EpiDur", "x"),
                                      Invalid("Diagnosis", "Q", "0")}));
  EXPECT_EQ(record.singles["EpiDurV"], "F");
}

TEST_F(EpisodeValidatorTest, ValidatorWithoutChecksPasses) {
  EpisodeValidator validator(lists_);
  Record record;
  EXPECT_TRUE(validator.Validate(record));
}

}  // namespace
}  // namespace zorvel
