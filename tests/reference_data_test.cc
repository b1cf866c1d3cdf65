// Tests of ReferenceData::LoadAll and the six table loaders: row rules, the
// renamings of rule items, trigger grouping, broken references, missing and
// damaged files.
#include "refdata/reference_data.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/packed_tables.h"

namespace zorvel {
namespace {

using testing::kTriggerHeader;
using testing::PackedTables;
using testing::TableTexts;
using testing::TwoRuleTexts;

// Loads `texts` and expects `status`.
void Load(const TableTexts& texts, ReferenceData* data,
          LoadStatus status = LoadStatus::kOk) {
  PackedTables tables(texts);
  EXPECT_EQ(data->LoadAll(tables.dir()), status) << data->load_error();
}

const RuleCondition& OnlyCondition(const ReferenceData& data,
                                   const std::string& rule) {
  const Rule* found = data.FindRule(rule);
  EXPECT_NE(found, nullptr) << rule;
  EXPECT_EQ(found->conditions.size(), 1u) << rule;
  return found->conditions.front();
}

// The HRGs of each trigger of one code, trigger by trigger.
std::vector<std::vector<std::string>> TriggerHrgs(const ReferenceData& data,
                                                  const std::string& table,
                                                  const std::string& type,
                                                  const std::string& code) {
  std::vector<std::vector<std::string>> result;
  const CodeMap* map = data.FindCodeMap(table, type);
  if (map == nullptr) return result;
  auto it = map->find(code);
  if (it == map->end()) return result;
  for (const Trigger& trigger : it->second) {
    result.emplace_back();
    for (const HrgEntry& entry : trigger.entries) result.back().push_back(entry.hrg);
  }
  return result;
}

// --- ValidationLists, Lists, Code ---

TEST(ReferenceDataTest, ValidationListAbsorbsDuplicateCodes) {
  TableTexts texts;
  texts.validation_lists = "SEX,1\nSEX,1\nSEX,2\nADMIMETH,11\n";
  ReferenceData data;
  Load(texts, &data);
  const ValidationSet* sex = data.FindValidationList("SEX");
  ASSERT_NE(sex, nullptr);
  EXPECT_EQ(sex->size(), 2u);
  EXPECT_EQ(sex->count("2"), 1u);
  EXPECT_EQ(data.FindValidationList("sex"), nullptr);
}

TEST(ReferenceDataTest, ListValuesFollowStrictNumbers) {
  struct Case {
    const char* value;
    int32_t expected;
  };
  const Case cases[] = {{"5", 5},   {"-3", -3}, {"+4", 4},   {"", -1},
                        {"12a", -1}, {" 5", -1}, {"3.0", -1}, {"2147483648", -1},
                        {"2147483647", 2147483647}};
  for (const Case& c : cases) {
    TableTexts texts;
    texts.lists = std::string("L,X01,") + c.value + "\n";
    ReferenceData data;
    Load(texts, &data);
    const CodeList* list = data.FindList("L");
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->Contains("X01")) << c.value;
    EXPECT_EQ(*list->Find("X01"), c.expected) << c.value;
  }
}

TEST(ReferenceDataTest, LaterListRowReplacesValue) {
  TableTexts texts;
  texts.lists = "ProcHier,A01,5\nProcHier,A01,7\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_EQ(*data.FindList("ProcHier")->Find("A01"), 7);
}

TEST(ReferenceDataTest, ListCodesMatchCaseSensitively) {
  TableTexts texts;
  texts.lists = "Site,Z94.1,\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_TRUE(data.FindList("Site")->Contains("Z94.1"));
  EXPECT_FALSE(data.FindList("Site")->Contains("z94.1"));
}

TEST(ReferenceDataTest, RowWithOtherFieldCountEndsTable) {
  TableTexts texts;
  texts.lists = "L,A,1\nL,B,2,extra\nL,C,3\n";
  texts.validation_lists = "SEX,1\n\nSEX,2\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_TRUE(data.FindList("L")->Contains("A"));
  EXPECT_FALSE(data.FindList("L")->Contains("B"));
  EXPECT_FALSE(data.FindList("L")->Contains("C"));
  EXPECT_EQ(data.FindValidationList("SEX")->size(), 1u);
}

TEST(ReferenceDataTest, CodeTableKeepsOnlyErrorHrgTexts) {
  TableTexts texts;
  texts.codes =
      "HRG6,UZ01Z,UZ,Invalid data\nHRG6,AA22A,AA,Other\nICD,UZ02Z,UZ,Not HRG\n";
  ReferenceData data;
  Load(texts, &data);
  ASSERT_EQ(data.code_texts().size(), 1u);
  EXPECT_EQ(data.code_texts().at("UZ01Z"), "Invalid data");
}

// --- RuleDefs ---

TEST(ReferenceDataTest, FunctionNamesMatchWithoutCase) {
  TableTexts texts;
  texts.rule_defs =
      "R1,True,Age,,,,Default\nR2,true,Age,,,,Default\nR3,TRUE,Age,,,,Default\n"
      "R4,True ,Age,,,,Default\nR5,Tru,Age,,,,Default\n"
      "R6,nesteddgvpinlist,Age,,,,Default\nR7,NEXTDATAITEMINLIST,Age,,,,\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_EQ(OnlyCondition(data, "R1").function, RuleFunction::kTrue);
  EXPECT_EQ(OnlyCondition(data, "R2").function, RuleFunction::kTrue);
  EXPECT_EQ(OnlyCondition(data, "R3").function, RuleFunction::kTrue);
  EXPECT_EQ(data.FindRule("R4"), nullptr);
  EXPECT_EQ(data.FindRule("R5"), nullptr);
  EXPECT_EQ(OnlyCondition(data, "R6").function, RuleFunction::kNestedDgvpInList);
  EXPECT_EQ(OnlyCondition(data, "R7").function, RuleFunction::kNextDataItemInList);
  EXPECT_EQ(OnlyCondition(data, "R7").list, nullptr);
}

TEST(ReferenceDataTest, RuleRowsWithEmptyNameArePassedOver) {
  TableTexts texts;
  texts.rule_defs = ",True,Age,,,,Default\nR,True,Age,,,,Default\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_EQ(data.rules().size(), 1u);
}

TEST(ReferenceDataTest, RuleNumbersAndTheirFallback) {
  struct Case {
    const char* fields;  // from,to,count
    int32_t from, to;
    int16_t count;
  };
  const Case cases[] = {
      {",,", 1, 1, 0},        {"2,5,3", 2, 5, 3},   {"x,9,", 1, 1, 0},
      {"2,5,z", 1, 1, 0},     {"-1,04,", -1, 4, 0}, {",,70000", 1, 1, 4464},
      {",,-2", 1, 1, -2},     {"1, 2,", 1, 1, 0},
  };
  for (const Case& c : cases) {
    TableTexts texts;
    texts.rule_defs = std::string("R,SumListValues,Age,") + c.fields + ",Default\n";
    ReferenceData data;
    Load(texts, &data);
    const RuleCondition& condition = OnlyCondition(data, "R");
    EXPECT_EQ(condition.from, c.from) << c.fields;
    EXPECT_EQ(condition.to, c.to) << c.fields;
    EXPECT_EQ(condition.count, c.count) << c.fields;
  }
}

TEST(ReferenceDataTest, RuleItemsAreRenamedForComplicationsAndDurations) {
  TableTexts texts;
  texts.lists = "Diag_CC_List,A01,\nPlain,A01,\n";
  texts.rule_defs =
      "CC,DataItemInList,Diagnosis,,,,Diag_CC_List\n"
      "NoCC,DataItemInList,Diagnosis,,,,Default\n"
      "Other,DataItemInList,Diagnosis,,,,Plain\n"
      "Dur4,SumListValues,EpiDur,1,4,,Default\n"
      "Dur04,SumListValues,EpiDur,1,04,,Default\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_EQ(OnlyCondition(data, "CC").item, "DiagnosisCC");
  EXPECT_EQ(OnlyCondition(data, "CC").list, data.FindList("Diag_CC_List"));
  EXPECT_EQ(OnlyCondition(data, "NoCC").item, "Diagnosis");
  EXPECT_EQ(OnlyCondition(data, "Other").item, "Diagnosis");
  EXPECT_EQ(OnlyCondition(data, "Dur4").item, "EpiDurArray");
  EXPECT_EQ(OnlyCondition(data, "Dur04").item, "EpiDur");
  EXPECT_EQ(OnlyCondition(data, "Dur04").to, 4);
}

TEST(ReferenceDataTest, ConditionsCarryItemKindAndOldItem) {
  TableTexts texts;
  texts.rule_defs =
      "P,AllDataItemInList,Procedure,,,,Default\n"
      "S,DataItemInList,Age,,,,Default\n"
      "U,DataItemInList,GateTriggerPos,,,,Default\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_EQ(OnlyCondition(data, "P").kind, kArray);
  EXPECT_EQ(OnlyCondition(data, "P").old_item, "ProcedureOld");
  EXPECT_EQ(OnlyCondition(data, "S").kind, kSingle);
  EXPECT_EQ(OnlyCondition(data, "U").kind, kUnknownItem);
}

TEST(ReferenceDataTest, RuleRowsNeedNotBeAdjacent) {
  TableTexts texts;
  texts.rule_defs =
      "R,True,Age,,,,Default\nQ,True,SEX,,,,Default\nR,SumListValues,EpiDur,,,,\n";
  ReferenceData data;
  Load(texts, &data);
  const Rule* rule = data.FindRule("R");
  ASSERT_NE(rule, nullptr);
  ASSERT_EQ(rule->conditions.size(), 2u);
  EXPECT_EQ(rule->conditions[0].function, RuleFunction::kTrue);
  EXPECT_EQ(rule->conditions[1].function, RuleFunction::kSumListValues);
}

TEST(ReferenceDataTest, RuleNamingMissingListAbandonsLoad) {
  TableTexts texts = TwoRuleTexts();
  texts.rule_defs += "C,DataItemInList,Procedure,,,,NoSuchList\n";
  texts.triggers = std::string(kTriggerHeader) + "Core1,OPCS,X01,A,AA01A,,A,\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid\n";
  ReferenceData data;
  Load(texts, &data, LoadStatus::kBrokenReference);
  EXPECT_EQ(data.load_error(), "InputRules - Rule list missing from list database");
  EXPECT_NE(data.FindRule("A"), nullptr);
  EXPECT_TRUE(data.trigger_tables().empty());
  EXPECT_TRUE(data.code_texts().empty());
}

// --- Triggers and combinations ---

TEST(ReferenceDataTest, AdjacentRowsOfOneTriggerRuleShareATrigger) {
  TableTexts texts = TwoRuleTexts();
  texts.triggers = std::string(kTriggerHeader) +
                   "Core1,ICD,X,A,H1,,A,\nCore1,ICD,X,A,H2,,A,UZ05\n"
                   "Core1,ICD,X,A,H3,,B,\n"
                   "Core1,ICD,Y,A,H4,,A,\nCore1,ICD,Y,A,H5,,B,\nCore1,ICD,Y,A,H6,,A,\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_EQ(TriggerHrgs(data, "Core1", "ICD", "X"),
            (std::vector<std::vector<std::string>>{{"H1", "H2"}, {"H3"}}));
  EXPECT_EQ(TriggerHrgs(data, "Core1", "ICD", "Y"),
            (std::vector<std::vector<std::string>>{{"H4"}, {"H5"}, {"H6"}}));
  const TriggerList& x = data.FindCodeMap("Core1", "ICD")->at("X");
  EXPECT_EQ(x[0].rule, data.FindRule("A"));
  EXPECT_EQ(x[1].rule, data.FindRule("B"));
  EXPECT_EQ(x[0].entries[1].error_code, "UZ05");
  EXPECT_EQ(x[0].entries[1].rule, data.FindRule("A"));
}

TEST(ReferenceDataTest, CombinationCodeTypeBecomesProcedureInCoreAndRadiology) {
  TableTexts texts = TwoRuleTexts();
  texts.triggers = std::string(kTriggerHeader) +
                   "Core1,Combination,C1,A,H1,,A,\nCore5,Combination,C5,A,H5,,A,\n"
                   "URad1,Combination,R1,A,HR,,A,\nUassess,Combination,U1,A,HU,,A,\n"
                   "Core1,combination,C2,A,H2,,A,\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_EQ(TriggerHrgs(data, "Core1", "OPCS", "C1").size(), 1u);
  EXPECT_EQ(TriggerHrgs(data, "Core5", "OPCS", "C5").size(), 1u);
  EXPECT_EQ(TriggerHrgs(data, "URad1", "OPCS", "R1").size(), 1u);
  EXPECT_EQ(TriggerHrgs(data, "Uassess", "Combination", "U1").size(), 1u);
  EXPECT_EQ(TriggerHrgs(data, "Core1", "combination", "C2").size(), 1u);
}

TEST(ReferenceDataTest, TriggerRowsNeedEightFieldsAndAnHrg) {
  TableTexts texts = TwoRuleTexts();
  texts.triggers = std::string(kTriggerHeader) +
                   "Core1,ICD,A,A,H1,,A,,extra\nCore1,ICD,B,A,,,A,\n"
                   "Core1,ICD,C,A,H3,,A\nCore1,ICD,D,A,H4,,A,\n";
  ReferenceData data;
  Load(texts, &data);
  const CodeMap* map = data.FindCodeMap("Core1", "ICD");
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->size(), 1u);
  EXPECT_EQ(map->count("A"), 1u);
}

TEST(ReferenceDataTest, TriggerHeaderIsNeverData) {
  TableTexts texts = TwoRuleTexts();
  texts.triggers = "Core1,ICD,H,A,HH,,A,\nCore1,ICD,X,A,H1,,A,\n";
  texts.combinations = "Combo,A,HC\nCombo,A,H1\n";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_TRUE(TriggerHrgs(data, "Core1", "ICD", "H").empty());
  EXPECT_EQ(TriggerHrgs(data, "Core1", "ICD", "X").size(), 1u);
  ASSERT_NE(data.FindCombination("Combo"), nullptr);
  EXPECT_EQ(data.FindCombination("Combo")->size(), 1u);
}

TEST(ReferenceDataTest, TriggerNamingMissingRuleAbandonsLoad) {
  for (const char* row : {"Core1,ICD,Y,Nope,H2,,A,\n", "Core1,ICD,Y,A,H2,,Nope,\n"}) {
    TableTexts texts = TwoRuleTexts();
    texts.triggers = std::string(kTriggerHeader) + "Core1,ICD,X,A,H1,,A,\n" + row;
    texts.combinations += "Combo,A,H1\n";
    ReferenceData data;
    Load(texts, &data, LoadStatus::kBrokenReference);
    EXPECT_EQ(data.load_error(), "ImportTriggers  - Rule missing from table");
    EXPECT_EQ(TriggerHrgs(data, "Core1", "ICD", "X").size(), 1u) << row;
    EXPECT_TRUE(data.combinations().empty()) << row;
  }
}

TEST(ReferenceDataTest, CombinationsKeepOrderAndEmptyErrorCodes) {
  TableTexts texts = TwoRuleTexts();
  texts.combinations += "Combo,A,H1\n,A,HX\nOther,B,H3\nCombo,B,H2\n";
  ReferenceData data;
  Load(texts, &data);
  const std::vector<HrgEntry>* combo = data.FindCombination("Combo");
  ASSERT_NE(combo, nullptr);
  ASSERT_EQ(combo->size(), 2u);
  EXPECT_EQ((*combo)[0].hrg, "H1");
  EXPECT_EQ((*combo)[1].hrg, "H2");
  EXPECT_EQ((*combo)[1].rule, data.FindRule("B"));
  EXPECT_EQ((*combo)[0].error_code, "");
  EXPECT_EQ(data.combinations().size(), 2u);
}

TEST(ReferenceDataTest, CombinationNamingMissingRuleAbandonsLoad) {
  TableTexts texts = TwoRuleTexts();
  texts.combinations += "Combo,A,H1\nCombo,Nope,H2\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid\n";
  ReferenceData data;
  Load(texts, &data, LoadStatus::kBrokenReference);
  EXPECT_EQ(data.load_error(), "ImportCombination - Rule missing from table");
  EXPECT_EQ(data.FindCombination("Combo")->size(), 1u);
  EXPECT_TRUE(data.code_texts().empty());
}

// --- Files ---

TEST(ReferenceDataTest, MissingFileFailsButOtherTablesLoad) {
  TableTexts texts = TwoRuleTexts();
  texts.validation_lists = "SEX,1\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid\n";
  PackedTables tables(texts);
  tables.Remove("Lists.csv.enc");
  ReferenceData data;
  // Without the list the rule naming it cannot load.
  EXPECT_EQ(data.LoadAll(tables.dir()), LoadStatus::kBrokenReference);

  texts.rule_defs = "A,True,Age,,,,Default\n";
  PackedTables without_codes(texts);
  without_codes.Remove("Code.csv.enc");
  without_codes.Remove("ValidationLists.csv.enc");
  EXPECT_EQ(data.LoadAll(without_codes.dir()), LoadStatus::kMissingFile);
  EXPECT_EQ(data.load_error(), "");
  EXPECT_TRUE(data.validation_lists().empty());
  EXPECT_NE(data.FindRule("A"), nullptr);
  EXPECT_NE(data.FindList("L"), nullptr);
}

TEST(ReferenceDataTest, LocationIsGluedToFileNames) {
  PackedTables tables(TwoRuleTexts());
  std::string without_separator = tables.dir().substr(0, tables.dir().size() - 1);
  ReferenceData data;
  EXPECT_EQ(data.LoadAll(without_separator), LoadStatus::kMissingFile);
  EXPECT_TRUE(data.rules().empty());
  EXPECT_TRUE(data.lists().empty());
}

TEST(ReferenceDataTest, EmptyFilesLoadEmptyTables) {
  TableTexts texts;
  texts.triggers = "";
  texts.combinations = "";
  ReferenceData data;
  Load(texts, &data);
  EXPECT_TRUE(data.trigger_tables().empty());
  EXPECT_TRUE(data.combinations().empty());
}

TEST(ReferenceDataTest, ReloadReplacesEveryTable) {
  ReferenceData data;
  TableTexts first = TwoRuleTexts();
  first.validation_lists = "SEX,1\n";
  Load(first, &data);
  TableTexts second;
  second.lists = "M,Y,\n";
  Load(second, &data);
  EXPECT_EQ(data.FindList("L"), nullptr);
  EXPECT_NE(data.FindList("M"), nullptr);
  EXPECT_TRUE(data.rules().empty());
  EXPECT_TRUE(data.validation_lists().empty());
}

TEST(ReferenceDataTest, DamagedFilesNeverCrash) {
  TableTexts texts = TwoRuleTexts();
  texts.validation_lists = "SEX,1\nSEX,2\n";
  texts.triggers = std::string(kTriggerHeader) + "Core1,ICD,X,A,H1,,A,\n";
  texts.combinations += "Combo,A,H1\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid\n";
  std::mt19937 random(2019);
  for (const char* file : kTableFileNames) {
    for (int variant = 0; variant < 4; ++variant) {
      PackedTables tables(texts);
      std::string path = tables.dir() + file;
      std::string bytes;
      {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
      }
      if (variant == 0) bytes.resize(bytes.size() / 2 + 3);  // truncated
      if (variant == 1) bytes.clear();                        // empty
      if (variant == 2)                                       // random bytes
        for (char& c : bytes) c = static_cast<char>(random());
      if (variant == 3) bytes.assign(5000, static_cast<char>(random()));
      std::ofstream(path, std::ios::binary | std::ios::trunc)
          .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      ReferenceData data;
      LoadStatus status = data.LoadAll(tables.dir());
      EXPECT_NE(status, LoadStatus::kMissingFile) << file << " " << variant;
    }
  }
}

}  // namespace
}  // namespace zorvel
