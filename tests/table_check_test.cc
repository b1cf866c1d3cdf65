// Tests of the table checker and "zorvel tables check": rows loaded, the line
// at which a table stopped early, broken names and missing files.
#include "refdata/table_check.h"


#include <string>

#include <gtest/gtest.h>

#include "support/packed_tables.h"

namespace zorvel {
namespace {

using testing::PackedTables;
using testing::TableTexts;

// "zorvel tables check" on `tables`, named without the trailing separator.
testing::CommandRun CheckCommand(const PackedTables& tables) {
  return testing::RunZorvel("tables check " + tables.dir().substr(0, tables.dir().size() - 1));
}

TEST(TableCheckTest, EarlyStopsAreNoFaultsButAMissingFileIs) {
  TableTexts texts = testing::TwoRuleTexts();
  // Zero padding after the last line feed is no early stop.
  texts.validation_lists = std::string("SEX,1\nSEX,2\n") + '\0' + '\0' + '\0' + '\0';
  texts.lists = "L,X01,1\nL,\"X\n02\",\nL,X03,3,extra\nL,X04,4\n";
  texts.triggers += "Core1,OPCS,X01,B,AA01A,,A\nCore1,OPCS,X01,B,AA01A,,A,\n";
  texts.combinations += "Combo,A,AA02A\n\nCombo,A,AA03A\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid data\nHRG6,UZ02Z";
  PackedTables tables(texts);
  EXPECT_EQ(FormatTableCheck(CheckTables(tables.dir())),
            "ValidationLists.csv.enc: 2 rows\n"
            "Lists.csv.enc: 2 rows, stopped at line 4\n"
            "RuleDefs.csv.enc: 2 rows\n"
            "TriggerAndRulesToHrg.csv.enc: 0 rows, stopped at line 2\n"
            "Combination.csv.enc: 1 rows, stopped at line 3\n"
            "Code.csv.enc: 1 rows, stopped at line 2\n"
            "ok\n");
  EXPECT_EQ(CheckCommand(tables).exit_code, 0);
  tables.Remove("Combination.csv.enc");
  const testing::CommandRun run = CheckCommand(tables);
  EXPECT_EQ(run.exit_code, 8);
  EXPECT_NE(run.out.find("\nCombination.csv.enc: missing\nCode.csv.enc: 1 rows"),
            std::string::npos) << run.out;
}

TEST(TableCheckTest, ReportsEveryBrokenName) {
  TableTexts texts = testing::TwoRuleTexts();
  texts.rule_defs += "C,DataItemInList,Procedure,,,,NoList\n";
  // A rule whose list is missing still exists: the last trigger row is sound.
  texts.triggers += "Core1,OPCS,X01,B,AA01A,,A,\nCore1,OPCS,X02,NoRule1,AA03A,,A,\n"
                    "Core1,OPCS,X03,A,AA04A,,NoRule2,\nCore1,OPCS,X04,C,AA05A,,A,\n";
  texts.combinations += "Combo,NoRule3,AA06A\nCombo,A,AA02A\n";
  PackedTables tables(texts);
  const std::string report = FormatTableCheck(CheckTables(tables.dir()));
  EXPECT_EQ(report,
            "ValidationLists.csv.enc: 0 rows\n"
            "Lists.csv.enc: 1 rows\n"
            "RuleDefs.csv.enc: 3 rows\n"
            "  line 3: InputRules - Rule list missing from list database: \"NoList\"\n"
            "TriggerAndRulesToHrg.csv.enc: 4 rows\n"
            "  line 3: ImportTriggers  - Rule missing from table: \"NoRule1\"\n"
            "  line 4: ImportTriggers  - Rule missing from table: \"NoRule2\"\n"
            "Combination.csv.enc: 2 rows\n"
            "  line 2: ImportCombination - Rule missing from table: \"NoRule3\"\n"
            "Code.csv.enc: 0 rows\n"
            "faults found\n");
  const testing::CommandRun run = CheckCommand(tables);
  EXPECT_EQ(run.exit_code, 8);
  EXPECT_EQ(run.out, report);
}

TEST(TableCheckTest, DemoTablesAreClean) {
  TableCheck check = CheckTables(ZORVEL_DEMO_DIR);
  EXPECT_FALSE(check.HasFaults()) << FormatTableCheck(check);
  for (const TableReport& table : check.tables) EXPECT_EQ(table.stop_line, 0) << table.file;
}

}  // namespace
}  // namespace zorvel
