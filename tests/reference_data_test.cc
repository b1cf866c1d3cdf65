// Tests of ReferenceData::LoadAll and the six table loaders: strict numbers,
// names matched with and without case, renamed rule items, trigger rows and
// code types, a broken reference, missing and damaged files.
#include "refdata/reference_data.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/packed_tables.h"

namespace zorvel {
namespace {

using testing::PackedTables;
using testing::TableTexts;
using Hrgs = std::vector<std::vector<std::string>>;

void Load(const TableTexts& texts, ReferenceData* data, LoadStatus status = LoadStatus::kOk) {
  PackedTables tables(texts);
  EXPECT_EQ(data->LoadAll(tables.dir()), status) << data->load_error();
}

// Tables with rows in each of the six.
TableTexts Sound() {
  TableTexts texts = testing::TwoRuleTexts();
  texts.validation_lists = "SEX,1\nSEX,2\n";
  texts.triggers += "Core1,ICD,X,A,H1,,B,\n";
  texts.combinations += "Combo,A,H1\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid\n";
  return texts;
}

TEST(ReferenceDataTest, ListValuesAreStrictNumbersAndNamesKeepTheirCase) {
  TableTexts texts;
  texts.validation_lists = "SEX,1\n";
  texts.lists = "L,A,5\nL,B,-3\nL,C,+4\nL,D,\nL,E,12a\nL,F, 5\nL,G,2147483648\n"
                "L,H,1\nL,H,7\nL,h,2\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid data\nHRG6,AA22A,AA,Other\nICD,UZ02Z,UZ,Not HRG\n";
  ReferenceData data;
  Load(texts, &data);
  // A later row replaces the value of its code; "h" is a code of its own.
  const std::pair<const char*, int32_t> values[] = {
      {"A", 5}, {"B", -3}, {"C", 4}, {"D", -1}, {"E", -1},
      {"F", -1}, {"G", -1}, {"H", 7}, {"h", 2}};
  const CodeList* list = data.FindList("L");
  ASSERT_NE(list, nullptr);
  for (const auto& [code, value] : values)
    EXPECT_EQ(list->Find(code) ? *list->Find(code) : 99, value) << code;
  EXPECT_EQ(data.FindList("l"), nullptr);
  EXPECT_EQ(data.FindValidationList("sex"), nullptr);
  // Only the texts of error HRGs are kept.
  EXPECT_EQ(data.code_texts(), (CodeTexts{{"UZ01Z", "Invalid data"}}));
}

TEST(ReferenceDataTest, RuleRowsBecomeConditions) {
  using F = RuleFunction;
  const struct { const char* row; RuleFunction function; const char* item; int32_t from, to;
                 int16_t count; } rows[] = {
      {"M,True,Age,,,,Default", F::kTrue, "Age", 1, 1, 0},
      {"N1,sumlistvalues,Age,,5,3,Default", F::kSumListValues, "Age", 1, 5, 3},
      // One number that is not strictly whole resets all three.
      {"N2,SumListValues,Age,2,5,3x,Default", F::kSumListValues, "Age", 1, 1, 0},
      {"N3,SUMLISTVALUES,Age,-1,04,-2,Default", F::kSumListValues, "Age", -1, 4, -2},
      {"N4,SumListValues,Age,,,70000,Default", F::kSumListValues, "Age", 1, 1, 4464},
      {"F1,nesteddgvpinlist,Age,,,,Default", F::kNestedDgvpInList, "Age", 1, 1, 0},
      {"F2,NEXTDATAITEMINLIST,Age,,,,", F::kNextDataItemInList, "Age", 1, 1, 0},
      // Diagnoses against a complication list, and a duration up to
      // position "4" (written so), are renamed.
      {"CC,DataItemInList,Diagnosis,,,,Diag_CC_List", F::kDataItemInList, "DiagnosisCC", 1, 1, 0},
      {"Other,DataItemInList,Diagnosis,,,,Plain", F::kDataItemInList, "Diagnosis", 1, 1, 0},
      {"Dur4,SumListValues,EpiDur,1,4,,Default", F::kSumListValues, "EpiDurArray", 1, 4, 0},
      {"Dur04,SumListValues,EpiDur,1,04,,Default", F::kSumListValues, "EpiDur", 1, 4, 0},
      // The rows of one rule need not be adjacent.
      {"M,AllDataItemInList,Procedure,,,,Default", F::kAllDataItemInList, "Procedure", 1, 1, 0},
  };
  TableTexts texts;
  texts.lists = "Diag_CC_List,A01,\nPlain,A01,\n";
  // Rows without a name or with an unknown function are passed over.
  texts.rule_defs = ",True,Age,,,,Default\nX1,True ,Age,,,,Default\nX2,Tru,Age,,,,Default\n";
  for (const auto& r : rows) texts.rule_defs += std::string(r.row) + "\n";
  ReferenceData data;
  Load(texts, &data);
  std::map<std::string, size_t> seen;
  for (const auto& r : rows) {
    const std::string name(r.row, std::string_view(r.row).find(','));
    const Rule* rule = data.FindRule(name);
    ASSERT_TRUE(rule != nullptr && rule->conditions.size() > seen[name]) << r.row;
    const RuleCondition& c = rule->conditions[seen[name]++];
    EXPECT_EQ(std::tuple(c.function, c.item, c.from, c.to, c.count),
              std::tuple(r.function, std::string(r.item), r.from, r.to, r.count))
        << r.row;
  }
  EXPECT_EQ(data.rules().size(), seen.size());
  // The derived fields follow the renamed item.
  EXPECT_EQ(data.FindRule("CC")->conditions[0].old_item, "DiagnosisCCOld");
  EXPECT_EQ(data.FindRule("Dur4")->conditions[0].kind, kArray);
}

TEST(ReferenceDataTest, TriggerAndCombinationRows) {
  TableTexts texts = testing::TwoRuleTexts();
  texts.triggers +=
      "Core1,ICD,X,A,H1,,A,\nCore1,ICD,X,A,H2,,A,\nCore1,ICD,X,A,H3,,B,\n"
      "Core1,ICD,Y,A,H4,,A,\nCore1,ICD,Y,A,H5,,B,\nCore1,ICD,Y,A,H6,,A,\n"
      "Core1,ICD,Z,A,,,A,\nCore1,ICD,W,A,H7,,A,,extra\n"
      "Core1,Combination,C1,A,H8,,A,\nURad1,Combination,R1,A,H8,,A,\n"
      "Uassess,Combination,U1,A,H8,,A,\nCore1,combination,C2,A,H8,,A,\n";
  texts.combinations += "Combo,A,H1\n,A,HX\nOther,B,H3\nCombo,B,H2\n";
  ReferenceData data;
  Load(texts, &data);
  const struct { const char *table, *type, *code; Hrgs hrgs; } expected[] = {
      // Adjacent rows with the same trigger rule share a trigger.
      {"Core1", "ICD", "X", {{"H1", "H2"}, {"H3"}}},
      {"Core1", "ICD", "Y", {{"H4"}, {"H5"}, {"H6"}}},
      {"Core1", "ICD", "Z", {}},        // a row without an HRG is passed over
      {"Core1", "ICD", "W", {{"H7"}}},  // more than eight fields will do
      // Combination codes of the core and radiology tables are procedures.
      {"Core1", "OPCS", "C1", {{"H8"}}},
      {"URad1", "OPCS", "R1", {{"H8"}}},
      {"Uassess", "Combination", "U1", {{"H8"}}},
      {"Core1", "combination", "C2", {{"H8"}}},
  };
  for (const auto& e : expected) {
    const CodeMap* map = data.FindCodeMap(e.table, e.type);
    Hrgs hrgs;
    const TriggerList* triggers = map != nullptr ? map->Find(e.code) : nullptr;
    for (const Trigger& trigger : triggers != nullptr ? *triggers : TriggerList()) {
      hrgs.emplace_back();
      for (const HrgEntry& entry : trigger.entries) hrgs.back().emplace_back(entry.hrg);
    }
    EXPECT_EQ(hrgs, e.hrgs) << e.table << " " << e.type << " " << e.code;
  }
  // The trigger rule is the seventh field, the entry's rule the fourth.
  ASSERT_NE(data.FindCodeMap("Core1", "ICD")->Find("X"), nullptr);
  const TriggerList& x = *data.FindCodeMap("Core1", "ICD")->Find("X");
  EXPECT_EQ(x.at(1).rule, data.FindRule("B"));
  EXPECT_EQ(x.at(1).entries.at(0).rule, data.FindRule("A"));
  // Combination rows without a name are passed over; the others keep their order.
  EXPECT_EQ(data.combinations().size(), 2u);
  ASSERT_NE(data.combinations().Find("Combo"), nullptr);
  const std::vector<HrgEntry>& combo = *data.combinations().Find("Combo");
  ASSERT_EQ(combo.size(), 2u);
  EXPECT_EQ(std::string(combo[0].hrg) + std::string(combo[1].hrg), "H1H2");
  EXPECT_EQ(combo[1].rule, data.FindRule("B"));
}

// Each broken cross-reference abandons the load, even over an earlier sound
// one; a missing file fails the load without
// keeping the other tables from loading.
TEST(ReferenceDataTest, BrokenReferenceAbandonsTheLoadAndMissingFileFailsIt) {
  const std::pair<std::string TableTexts::*, const char*> faults[] = {
      {&TableTexts::rule_defs, "C,DataItemInList,Procedure,,,,NoSuchList\n"},
      {&TableTexts::triggers, "Core1,ICD,Y,Nope,H2,,A,\n"},
      {&TableTexts::triggers, "Core1,ICD,Y,A,H2,,Nope,\n"},
      {&TableTexts::combinations, "Combo,Nope,H2\n"}};
  const char* const messages[] = {"InputRules - Rule list missing from list database",
                                  "ImportTriggers  - Rule missing from table",
                                  "ImportTriggers  - Rule missing from table",
                                  "ImportCombination - Rule missing from table"};
  for (size_t i = 0; i < 4; ++i) {
    ReferenceData data;
    Load(Sound(), &data);
    TableTexts broken = Sound();
    broken.*faults[i].first += faults[i].second;
    Load(broken, &data, LoadStatus::kBrokenReference);
    EXPECT_EQ(data.load_error(), messages[i]);
    // The code texts load last: none of the earlier load's are left.
    EXPECT_TRUE(data.code_texts().empty()) << i;
  }
  ReferenceData data;
  PackedTables tables(Sound());
  tables.Remove("ValidationLists.csv.enc");
  EXPECT_EQ(data.LoadAll(tables.dir()), LoadStatus::kMissingFile);
  EXPECT_EQ(data.load_error(), "");
  EXPECT_EQ(data.code_texts().size(), 1u);
}

TEST(ReferenceDataTest, DamagedFilesNeverCrash) {
  std::mt19937 random(2019);
  std::string noise(5000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  for (const char* file : kTableFileNames) {
    for (bool truncate : {true, false}) {
      PackedTables tables(Sound());
      const std::string path = tables.dir() + file;
      if (truncate)
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2 + 3);
      else
        std::ofstream(path, std::ios::binary | std::ios::trunc) << noise;
      ReferenceData data;
      EXPECT_NE(data.LoadAll(tables.dir()), LoadStatus::kMissingFile) << file;
    }
  }
}

}  // namespace
}  // namespace zorvel
