// Tests of the table checker, through the library and through
// "zorvel tables check".
#include "refdata/table_check.h"

#include <stdio.h>
#include <sys/wait.h>

#include <string>

#include <gtest/gtest.h>

#include "support/packed_tables.h"

namespace zorvel {
namespace {

using testing::kTriggerHeader;
using testing::PackedTables;
using testing::TableTexts;
using testing::TwoRuleTexts;

// Tables without a fault.
TableTexts CleanTables() {
  TableTexts texts = TwoRuleTexts();
  texts.validation_lists = "SEX,1\nSEX,2\n";
  texts.lists += "L,X02,\n";
  texts.triggers = std::string(kTriggerHeader) + "Core1,OPCS,X01,B,AA01A,,A,\n";
  texts.combinations += "Combo,A,AA02A\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid data\n";
  return texts;
}

// Tables with faults in three tables, several in some.
TableTexts FaultyTables() {
  TableTexts texts = CleanTables();
  texts.rule_defs += "C,DataItemInList,Procedure,,,,NoList1\n"
                     "D,DataItemInList,Procedure,,,,NoList2\n";
  texts.triggers += "Core1,OPCS,X02,NoRule1,AA03A,,A,\n"
                    "Core1,OPCS,X03,A,AA04A,,NoRule2,\n"
                    "Core1,OPCS,X04,C,AA05A,,A,\n";
  texts.combinations += "Combo,NoRule3,AA06A\n";
  return texts;
}

struct ExpectedFault {
  const char* file;
  int line;
  const char* missing;
  const char* message;
};

TEST(TableCheckTest, CleanTablesHaveNoFaults) {
  PackedTables tables(CleanTables());
  TableCheck check = CheckTables(tables.dir());
  EXPECT_FALSE(check.HasFaults());
  ASSERT_EQ(check.tables.size(), 6u);
  const size_t rows[6] = {2, 2, 2, 1, 1, 1};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_TRUE(check.tables[i].opened) << i;
    EXPECT_EQ(check.tables[i].rows, rows[i]) << i;
    EXPECT_EQ(check.tables[i].stop_line, 0) << i;
  }
}

TEST(TableCheckTest, ReportsEveryBrokenName) {
  PackedTables tables(FaultyTables());
  TableCheck check = CheckTables(tables.dir());
  EXPECT_TRUE(check.HasFaults());
  const ExpectedFault expected[] = {
      {"RuleDefs.csv.enc", 3, "NoList1",
       "InputRules - Rule list missing from list database"},
      {"RuleDefs.csv.enc", 4, "NoList2",
       "InputRules - Rule list missing from list database"},
      {"TriggerAndRulesToHrg.csv.enc", 3, "NoRule1",
       "ImportTriggers  - Rule missing from table"},
      {"TriggerAndRulesToHrg.csv.enc", 4, "NoRule2",
       "ImportTriggers  - Rule missing from table"},
      {"Combination.csv.enc", 3, "NoRule3",
       "ImportCombination - Rule missing from table"},
  };
  std::vector<TableFault> faults;
  for (const TableReport& table : check.tables)
    faults.insert(faults.end(), table.faults.begin(), table.faults.end());
  ASSERT_EQ(faults.size(), std::size(expected));
  for (size_t i = 0; i < faults.size(); ++i) {
    EXPECT_EQ(faults[i].file, expected[i].file) << i;
    EXPECT_EQ(faults[i].line, expected[i].line) << i;
    EXPECT_EQ(faults[i].missing, expected[i].missing) << i;
    EXPECT_EQ(faults[i].message, expected[i].message) << i;
  }
  // A rule whose list is missing still exists, so triggers naming it are fine.
  EXPECT_EQ(check.tables[3].rows, 4u);
}

TEST(TableCheckTest, ReportsLineWhereTableStoppedEarly) {
  TableTexts texts = CleanTables();
  texts.lists = "L,X01,1\nL,X02,\nL,X03,3,extra\nL,X04,4\n";
  texts.validation_lists = "SEX,1\n\nSEX,2\n";
  texts.triggers = std::string(kTriggerHeader) + "Core1,OPCS,X01,B,AA01A,,A\n";
  PackedTables tables(texts);
  TableCheck check = CheckTables(tables.dir());
  EXPECT_EQ(check.tables[0].rows, 1u);
  EXPECT_EQ(check.tables[0].stop_line, 2);
  EXPECT_EQ(check.tables[1].rows, 2u);
  EXPECT_EQ(check.tables[1].stop_line, 3);
  EXPECT_EQ(check.tables[3].rows, 0u);
  EXPECT_EQ(check.tables[3].stop_line, 2);
  // Early stops alone are not faults: the plug-in loads such tables.
  EXPECT_FALSE(check.HasFaults());
}

TEST(TableCheckTest, ZeroPaddingAtTheEndIsNotAnEarlyStop) {
  TableTexts texts = CleanTables();
  texts.validation_lists = std::string("SEX,1\n") + '\0' + '\0';
  texts.lists = "L,X01,1\nL,X02";  // a last row cut short is an early stop
  PackedTables tables(texts);
  TableCheck check = CheckTables(tables.dir());
  EXPECT_EQ(check.tables[0].rows, 1u);
  EXPECT_EQ(check.tables[0].stop_line, 0);
  EXPECT_EQ(check.tables[1].stop_line, 2);
}

TEST(TableCheckTest, ReportsMissingFiles) {
  PackedTables tables(CleanTables());
  tables.Remove("Combination.csv.enc");
  TableCheck check = CheckTables(tables.dir());
  EXPECT_TRUE(check.HasFaults());
  EXPECT_FALSE(check.tables[4].opened);
  EXPECT_TRUE(check.tables[5].opened);
  EXPECT_NE(FormatTableCheck(check).find("Combination.csv.enc: missing"),
            std::string::npos);
}

// Runs the zorvel program with `args`; returns its exit code and output.
int RunCli(const std::string& args, std::string* output) {
  std::string command = std::string(ZORVEL_CLI_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[512];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output->append(buffer, got);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TableCheckTest, CommandPrintsEveryFaultAndFails) {
  PackedTables tables(FaultyTables());
  std::string output;
  EXPECT_EQ(RunCli("tables check " + tables.dir(), &output), 8);
  for (const char* line :
       {"RuleDefs.csv.enc: 4 rows\n",
        "  line 3: InputRules - Rule list missing from list database: \"NoList1\"\n",
        "  line 4: InputRules - Rule list missing from list database: \"NoList2\"\n",
        "  line 3: ImportTriggers  - Rule missing from table: \"NoRule1\"\n",
        "  line 4: ImportTriggers  - Rule missing from table: \"NoRule2\"\n",
        "  line 3: ImportCombination - Rule missing from table: \"NoRule3\"\n",
        "faults found\n"})
    EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
}

TEST(TableCheckTest, CommandAcceptsCleanDirectoryWithoutSeparator) {
  PackedTables tables(CleanTables());
  std::string dir = tables.dir().substr(0, tables.dir().size() - 1);
  std::string output;
  EXPECT_EQ(RunCli("tables check " + dir, &output), 0) << output;
  EXPECT_NE(output.find("\nLists.csv.enc: 2 rows\n"), std::string::npos) << output;
  EXPECT_NE(output.find("ok\n"), std::string::npos) << output;
}

TEST(TableCheckTest, CommandFailsOnMissingFile) {
  PackedTables tables(CleanTables());
  tables.Remove("Code.csv.enc");
  std::string output;
  EXPECT_EQ(RunCli("tables check " + tables.dir(), &output), 8);
  EXPECT_NE(output.find("Code.csv.enc: missing\n"), std::string::npos) << output;
}

TEST(TableCheckTest, DemoTablesAreClean) {
  TableCheck check = CheckTables(ZORVEL_DEMO_DIR);
  EXPECT_FALSE(check.HasFaults()) << FormatTableCheck(check);
  for (const TableReport& table : check.tables)
    EXPECT_EQ(table.stop_line, 0) << table.file;
}

}  // namespace
}  // namespace zorvel
