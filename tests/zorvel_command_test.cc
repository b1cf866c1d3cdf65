// The zorvel command as a user runs it: JSON Lines in, one response per line
// out, messages and the summary on standard error; schema and info.
#include <filesystem>
#include <string>
#include <utility>

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
  run = RunZorvel("group --mode NRD", R"({"Id":"s","Episodes":[{"Id":"e1"}]})" "\n");
  EXPECT_EQ(run.out.rfind(R"({"Success":false,"Id":"s","Episodes":[{"Id":"e1","Success":false,)", 0), 0u)
      << run.out;
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
  // An unknown command is named; help lists every exit code.
  for (const char* unknown : {"grup", "tables chek"}) {
    run = RunZorvel(unknown);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_TRUE(Has(run.err, std::string("unknown command '") + unknown + "'")) << run.err;
  }
  run = RunZorvel("--help");
  EXPECT_EQ(run.exit_code, 0);
  for (const char* code : {"  1  ", "  3  ", "  4  ", "  5  ", "  6  ", "  7  ", "  8  ", "  9  "}) {
    EXPECT_TRUE(Has(run.out, code)) << code;
  }
  run = RunZorvel("--version");
  EXPECT_TRUE(Has(run.out, "zorvel 1.2\nplug-in: Zorvel 1.2 (")) << run.out;
}

// The output is written beside its path and moved into place only when the
// run has read all its input and written every response; an input is never
// the output.
TEST(GroupCommand, OutputReplacesAnEarlierFileOnlyWhenTheRunSucceeds) {
  ScratchDir scratch;
  const std::string requests = scratch.Write("in.jsonl", kRenalRequest + "\n");
  const std::string out = scratch.Write("out.jsonl", "earlier\n");
  CommandRun run = RunZorvel("group -o '" + requests + "' '" + requests + "'");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(Has(run.err, "is the input")) << run.err;
  EXPECT_EQ(ReadFile(requests), kRenalRequest + "\n");
  run = RunZorvel("group -o '" + out + "' '" + requests + "' '" + scratch.dir() + "absent'");
  EXPECT_EQ(run.exit_code, 5);
  EXPECT_EQ(ReadFile(out), "earlier\n");
  run = RunZorvel("group -o '" + out + "' '" + requests + "'");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ReadFile(out), kUnknownModeAnswer + "\n");
  // Through a link the file it points to is replaced and the link kept; a
  // device is written as it is.
  std::filesystem::create_symlink(out, scratch.dir() + "link.jsonl");
  run = RunZorvel("group -o '" + scratch.dir() + "link.jsonl' '" + requests + "' '" + requests + "'");
  EXPECT_EQ(ReadFile(out), kUnknownModeAnswer + "\n" + kUnknownModeAnswer + "\n");
  EXPECT_TRUE(std::filesystem::is_symlink(scratch.dir() + "link.jsonl"));
  run = RunZorvel("group -o /dev/stdout '" + requests + "'");
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n");
  std::filesystem::remove(scratch.dir() + "link.jsonl");
  // No temporary file is left behind either way.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.dir())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2);
}

// A write error ends the run at once with the system's reason, and the
// summary counts what was written.
TEST(GroupCommand, WriteErrorStopsTheRun) {
  ScratchDir scratch;
  std::string lines;
  for (int i = 0; i < 5000; ++i) lines += kRenalRequest + "\n";
  CommandRun run = RunZorvel("group -o /dev/full '" + scratch.Write("in.jsonl", lines) + "'");
  EXPECT_EQ(run.exit_code, 9);
  EXPECT_TRUE(Has(run.err, "error while writing /dev/full: No space left on device")) << run.err;
  EXPECT_TRUE(Has(run.err, "failed, 0 lines written")) << run.err;
  EXPECT_FALSE(Has(run.err, "5000 records")) << run.err;
}

// --mode takes the plug-in's codes exactly, suggests a near one, and refuses
// a line that already is a whole request instead of grouping it as empty.
TEST(GroupCommand, ModeCodesAreCheckedAgainstTheSchema) {
  for (const auto& [mode, says] : {std::pair<const char*, const char*>{"acc", "did you mean 'ACC'"},
                                   {"NCD", "did you mean 'NCC'"},
                                   {"XYZ", "unknown mode 'XYZ'; the modes are APC, NAC, EM"}}) {
    CommandRun run = RunZorvel(std::string("group --mode ") + mode, R"({"Id":"s"})" "\n");
    EXPECT_EQ(run.exit_code, 1) << mode;
    EXPECT_TRUE(Has(run.err, says)) << run.err;
    EXPECT_EQ(run.out, "");
  }
  CommandRun run = RunZorvel("group --mode EM", kRenalRequest + "\n");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, "{}\n");
  EXPECT_TRUE(Has(run.err, "<stdin>:1: a whole request")) << run.err;
  EXPECT_TRUE(Has(run.err, "1 records, 0 grouped successfully, 1 failed")) << run.err;
}

TEST(GroupCommand, PrepareFailureWarnsAndStrictMakesItFatal) {
  // All six files are there, but a rule names a list that Lists lacks.
  zorvel::testing::TableTexts texts;
  texts.rule_defs = "C,DataItemInList,Procedure,,,,NoSuchList\n";
  zorvel::testing::PackedTables tables(texts);
  const std::string request = R"({"Group":"ACC","Spell":{"Episodes":[{"Id":"e1"}]}})" "\n";
  CommandRun run = RunZorvel("group --data '" + tables.dir() + "'", request);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "the tables did not load, so no mode groups")) << run.err;
  EXPECT_TRUE(Has(run.err, "zorvel tables check")) << run.err;
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n");
  run = RunZorvel("group --strict --data '" + tables.dir() + "'", request);
  EXPECT_EQ(run.exit_code, 7);
  EXPECT_EQ(run.out, "");
  // Tables made for the emergency mode alone: the warning names the others.
  zorvel::testing::PackedTables em(std::string(ZORVEL_SOURCE_DIR) + "/tests/tables/em");
  run = RunZorvel("group --data '" + em.dir() + "'", "");
  EXPECT_TRUE(Has(run.err, "and answer every request with their own error: APC NAC NRD."))
      << run.err;
  // A folder of plain tables gets a hint to pack it.
  run = RunZorvel(std::string("group --data '") + ZORVEL_SOURCE_DIR + "/data/demo'", "");
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_TRUE(Has(run.err, "--data wants packed ones: zorvel tables pack")) << run.err;
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
