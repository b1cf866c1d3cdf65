// The zorvel command as a user runs it: JSON Lines in, one response per line
// out, messages and the summary on standard error; schema and info.
#include <string>

#include <gtest/gtest.h>

#include "support/packed_tables.h"
#include "support/scratch.h"

namespace {

using zorvel::testing::CommandRun;
using zorvel::testing::ReadFile;
using zorvel::testing::RunZorvel;
using zorvel::testing::ScratchDir;

const std::string kUnknownModeAnswer =
    R"({"Success":false,"Errors":[{"Field":"PLUGIN","Message":"Unknown grouping )"
    R"(method, please use APC/ACC/PCC/NAC/EM/NCC/RENAL","Value":"","Index":"",)"
    R"("Section":"episode"}],"Episodes":[{"Id":"e1","Success":false}]})";
const std::string kRenalRequest = R"({"Group":"RENAL","Spell":{"Episodes":[{"Id":"e1"}]}})";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(GroupCommand, AnswersEachLineInOrderAndSummarises) {
  CommandRun run = RunZorvel("group", kRenalRequest + "\n" + kRenalRequest + "\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n" + kUnknownModeAnswer + "\n");
  EXPECT_TRUE(Has(run.err, "2 records, 0 grouped successfully, 2 failed")) << run.err;
  // --mode wraps each line as the spell of a request of that mode.
  run = RunZorvel("group --mode RENAL", R"({"Id":"s","Episodes":[{"Id":"e1"}]})" "\n");
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n");
}

// A bad line is named with its line number and answered {}, so that output
// line n still answers input line n; --mode never wraps a line that is not
// JSON into one that is.
TEST(GroupCommand, BadLinesAreNamedAndAnsweredWithEmptyObjects) {
  ScratchDir scratch;
  const std::string file =
      scratch.Write("requests.jsonl", kRenalRequest + "\n{not json\n" + kRenalRequest + "\n");
  CommandRun run = RunZorvel("group '" + file + "'");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n{}\n" + kUnknownModeAnswer + "\n");
  EXPECT_TRUE(Has(run.err, "requests.jsonl:2: not valid JSON")) << run.err;
  EXPECT_TRUE(Has(run.err, "3 records, 0 grouped successfully, 3 failed")) << run.err;
  run = RunZorvel("group --mode NRD", R"({"Id":"s"},"MaxErrors":"abc")" "\n");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, "{}\n");
  EXPECT_TRUE(Has(run.err, "<stdin>:1: not valid JSON")) << run.err;
  run = RunZorvel("group -o '" + scratch.dir() + "out.jsonl'", "[]\n");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out + "|" + ReadFile(scratch.dir() + "out.jsonl"), "|{}\n");
  EXPECT_TRUE(Has(run.err, "<stdin>:1: not a grouping request")) << run.err;
}

// With the bundled demo tables bare spells are grouped; a blank line is
// answered with a blank line.
TEST(GroupCommand, GroupsWithTheDemoTablesAndKeepsBlankLinesAligned) {
  CommandRun run = RunZorvel(
      "group --mode EM",
      R"({"Id":"EM-1","Episodes":[{"Id":"1","Age":"45","AEPatGroup":"10","Invest":["05","01"],"Treat":["05"]}]})"
      "\n\n" R"({"Id":"EM-2","Episodes":[{"Id":"1"}]})" "\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            R"({"Success":true,"Id":"EM-1","Episodes":[{"Id":"1","Success":true,"HRG":"EM01A"}]})"
            "\n\n"
            R"({"Success":false,"Id":"EM-2","Episodes":[{"Id":"1","Success":false,"Errors":[)"
            R"({"Field":"Invest","Message":"is blank","Value":"","Index":"0"},)"
            R"({"Field":"Treat","Message":"is blank","Value":"","Index":"0"},)"
            R"({"Field":"Age","Message":"is blank","Value":"","Index":""}],"HRG":"UZ01Z"}]})"
            "\n");
  EXPECT_TRUE(Has(run.err, "2 records, 1 grouped successfully, 1 failed")) << run.err;
  EXPECT_FALSE(Has(run.err, "warning")) << "the demo tables set every mode up: " << run.err;
}

TEST(GroupCommand, EachKindOfFailureHasItsOwnExitCode) {
  ScratchDir scratch;
  scratch.Write("Lists.csv.enc", "");
  scratch.Write("Code.csv.enc", "");
  const std::string data = scratch.dir().substr(0, scratch.dir().size() - 1);
  CommandRun run = RunZorvel("group --data '" + data + "'");
  EXPECT_EQ(run.exit_code, 4);
  for (const char* name : {"ValidationLists.csv.enc", "RuleDefs.csv.enc",
                           "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc"}) {
    EXPECT_TRUE(Has(run.err, data + "/" + name)) << name;
  }
  EXPECT_FALSE(Has(run.err, "/Lists.csv.enc") || Has(run.err, "Code.csv.enc")) << run.err;
  run = RunZorvel("group --plugin '" + scratch.dir() + "none.so'");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_TRUE(Has(run.err, "none.so")) << run.err;
  run = RunZorvel("group '" + scratch.dir() + "absent.jsonl'");
  EXPECT_EQ(run.exit_code, 5);
  EXPECT_TRUE(Has(run.err, "absent.jsonl")) << run.err;
  for (const char* usage : {"group --no-such-option", "", "tables pack onlyone"}) {
    EXPECT_EQ(RunZorvel(usage).exit_code, 1) << usage;
  }
  EXPECT_EQ(RunZorvel("--help").exit_code, 0);
}

TEST(GroupCommand, PrepareFailureWarnsAndStrictMakesItFatal) {
  // All six files are there, but a rule names a list that Lists lacks.
  zorvel::testing::TableTexts texts;
  texts.rule_defs = "C,DataItemInList,Procedure,,,,NoSuchList\n";
  zorvel::testing::PackedTables tables(texts);
  const std::string request = R"({"Group":"ACC","Spell":{"Episodes":[{"Id":"e1"}]}})" "\n";
  CommandRun run = RunZorvel("group --data '" + tables.dir() + "'", request);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "zorvel tables check")) << run.err;
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n");
  run = RunZorvel("group --strict --data '" + tables.dir() + "'", request);
  EXPECT_EQ(run.exit_code, 7);
  EXPECT_EQ(run.out, "");
}

TEST(GroupCommand, SchemaAndInfoPrintThePlugInsOwnAnswers) {
  CommandRun run = RunZorvel("schema --pretty");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.rfind("{\n  \"SchemaHeader\": {\n    \"Format\": "
                          "\"SpellEpisode\",\n    \"Version\": \"1.4\"\n  },", 0), 0u)
      << run.out;
  run = RunZorvel("info");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Name:        Zorvel\nVersion:     1.2\nKind:        Processor\n"
            "Protocol:    JSON\nDescription: Quorvane 2019-20\nInterface:   11\n");
}

}  // namespace
