// Tests of the table checker and "zorvel tables check": rows loaded, the line
// at which a table stopped early, broken names, missing and damaged files
// (which "zorvel tables unpack" refuses too).
#include "refdata/table_check.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "refdata/table_packer.h"
#include "support/packed_tables.h"

namespace zorvel {
namespace {

using testing::PackedTables;
using testing::TableTexts;

// "zorvel tables check" on `tables`, named without the trailing separator.
testing::CommandRun CheckCommand(const PackedTables& tables) {
  return testing::RunZorvel("tables check " + tables.dir().substr(0, tables.dir().size() - 1));
}

TEST(TableCheckTest, EarlyStopsAndMissingFilesAreFaults) {
  TableTexts texts = testing::TwoRuleTexts();
  // Zero padding after the last line feed is no early stop.
  texts.validation_lists = std::string("SEX,1\nSEX,2\n") + '\0' + '\0' + '\0' + '\0';
  texts.lists = "L,X01,1\nL,\"X\n02\",\nL,X03,3,extra\nL,X04,4\n";
  texts.triggers += "Core1,OPCS,X01,B,AA01A,,A\nCore1,OPCS,X01,B,AA01A,,A,\n";
  texts.combinations += "Combo,A,AA02A\n\nCombo,A,AA03A\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid data\nHRG6,UZ02Z";
  PackedTables tables(texts);
  const std::string report =
      "ValidationLists.csv.enc: 2 rows\n"
      "Lists.csv.enc: 2 rows, stopped at line 4: a row of 4 fields where the table takes 3\n"
      "RuleDefs.csv.enc: 2 rows\n"
      "TriggerAndRulesToHrg.csv.enc: 0 rows, stopped at line 2: a row of 7 fields where the "
      "table takes 8 or more\n"
      "Combination.csv.enc: 1 rows, stopped at line 3: a row of 1 field where the table takes 3\n"
      "Code.csv.enc: 1 rows, stopped at line 2: a row of 2 fields where the table takes 4\n"
      "  line 2: ends without a line feed once decrypted: damaged, cut short or not a table "
      "file\n"
      "faults found\n";
  EXPECT_EQ(FormatTableCheck(CheckTables(tables.dir())), report);
  testing::CommandRun run = CheckCommand(tables);
  EXPECT_EQ(run.exit_code, 8);
  EXPECT_EQ(run.out, report);
  tables.Remove("Combination.csv.enc");
  run = CheckCommand(tables);
  EXPECT_EQ(run.exit_code, 8);
  EXPECT_NE(run.out.find("\nCombination.csv.enc: missing\nCode.csv.enc: 1 rows"),
            std::string::npos) << run.out;
}

// A damage done to one file of a copy of the demo tables, and what
// "tables check" says of that file.
struct Damage {
  const char* name;
  const char* file;
  std::string (*damage)(const std::string& packed);
  const char* report;  // the check's lines for the file
  bool unpacks;        // the damage leaves a file that decrypts to clean text
};

std::string RandomBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245 + 12345) >> 24);
  return bytes;
}

const Damage kDamages[] = {
    {"CutInsideABlock", "Lists.csv.enc", [](const std::string& p) { return p.substr(0, 1983); },
     "  file: 1983 bytes, not a whole number of 8-byte cipher blocks: cut short or not a "
     "table file\n", false},
    // "L,X01,1\n" fills the first block: a cut after two blocks ends inside line 2.
    {"CutAtABlockInsideALine", "Lists.csv.enc",
     [](const std::string&) { return EncryptTable("L,X01,1\nL,X02,22\nL,X03,3\n").substr(0, 16); },
     "  line 2: ends without a line feed once decrypted", false},
    {"RandomBytes", "RuleDefs.csv.enc", [](const std::string&) { return RandomBytes(1000); },
     "once decrypted: damaged, cut short or not a table file\n", false},
    {"NulInACell", "Code.csv.enc",
     [](const std::string&) { return EncryptTable(std::string("HRG6,UZ01Z,UZ,a\nHRG6,UZ\0,UZ,b\n", 31)); },
     "Code.csv.enc: 2 rows\n  line 2: holds a NUL byte once decrypted", false},
    {"OpenQuote", "ValidationLists.csv.enc",
     [](const std::string&) { return EncryptTable("SEX,1\nSEX,\"2\nSEX,3\n"); },
     "ValidationLists.csv.enc: 2 rows\n  line 2: opens a quote that is never closed", false},
    // A blank line after the header: nothing else in the set is at fault.
    {"BlankLine", "Combination.csv.enc",
     [](const std::string& p) { std::string t = UnpackTable(p); return EncryptTable(t.insert(t.find('\n') + 1, "\n")); },
     "Combination.csv.enc: 0 rows, stopped at line 2: a row of 1 field where the table takes 3\n",
     true},
};

class DamagedTableTest : public ::testing::TestWithParam<Damage> {};

// Check names the file, the line and why, and fails; unpack refuses the file
// and writes nothing.
TEST_P(DamagedTableTest, CheckFailsAndUnpackRefuses) {
  const Damage& damage = GetParam();
  testing::ScratchDir scratch;
  std::filesystem::copy(ZORVEL_DEMO_DIR, scratch.dir() + "tables");
  const std::string file = scratch.dir() + "tables/" + damage.file;
  scratch.Write(std::string("tables/") + damage.file, damage.damage(testing::ReadFile(file)));
  const testing::CommandRun check = testing::RunZorvel("tables check " + scratch.dir() + "tables");
  EXPECT_EQ(check.exit_code, 8);
  EXPECT_NE(check.out.find(damage.report), std::string::npos) << check.out;
  EXPECT_NE(check.out.find(damage.file), std::string::npos) << check.out;
  const testing::CommandRun unpack =
      testing::RunZorvel("tables unpack " + scratch.dir() + "tables " + scratch.dir() + "plain");
  EXPECT_EQ(unpack.exit_code, damage.unpacks ? 0 : 8) << unpack.err;
  EXPECT_EQ(std::filesystem::exists(scratch.dir() + "plain"), damage.unpacks);
  if (!damage.unpacks) {
    EXPECT_NE(unpack.err.find(file), std::string::npos) << unpack.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedTableTest, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

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
            "  file: empty: the table holds no rows\n"
            "Lists.csv.enc: 1 rows\n"
            "RuleDefs.csv.enc: 3 rows\n"
            "  line 3: InputRules - Rule list missing from list database: \"NoList\"\n"
            "TriggerAndRulesToHrg.csv.enc: 4 rows\n"
            "  line 3: ImportTriggers  - Rule missing from table: \"NoRule1\"\n"
            "  line 4: ImportTriggers  - Rule missing from table: \"NoRule2\"\n"
            "Combination.csv.enc: 2 rows\n"
            "  line 2: ImportCombination - Rule missing from table: \"NoRule3\"\n"
            "Code.csv.enc: 0 rows\n"
            "  file: empty: the table holds no rows\n"
            "faults found\n");
  const testing::CommandRun run = CheckCommand(tables);
  EXPECT_EQ(run.exit_code, 8);
  EXPECT_EQ(run.out, report);
}

TEST(TableCheckTest, DemoTablesAreClean) {
  TableCheck check = CheckTables(ZORVEL_DEMO_DIR);
  EXPECT_FALSE(check.HasFaults()) << FormatTableCheck(check);
  for (const CheckedTable& table : check.tables) EXPECT_EQ(table.load.stop_line, 0) << table.load.file;
}

}  // namespace
}  // namespace zorvel
