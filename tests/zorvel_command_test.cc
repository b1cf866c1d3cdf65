// The zorvel command as a user runs it: JSON Lines in, one response per line
// out, messages and the summary on standard error; schema and info.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/packed_tables.h"

namespace {

struct CommandRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A scratch directory for one test, removed afterwards.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/zorvel_cli_XXXXXX";
    dir_ = std::string(mkdtemp(pattern)) + "/";
  }
  ~Scratch() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ + name, std::ios::binary) << text;
    return dir_ + name;
  }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

// Runs `zorvel <arguments>` with `input` on standard input.
CommandRun Zorvel(const Scratch& scratch, const std::string& arguments,
           const std::string& input = "") {
  std::string in = scratch.Write("stdin", input);
  std::string command = std::string("'") + ZORVEL_CLI_PATH + "' " + arguments +
                        " <'" + in + "' >'" + scratch.dir() + "stdout' 2>'" +
                        scratch.dir() + "stderr'";
  int status = std::system(command.c_str());
  CommandRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(scratch.dir() + "stdout");
  run.err = ReadFile(scratch.dir() + "stderr");
  return run;
}

const std::string kUnknownModeAnswer =
    R"({"Success":false,"Errors":[{"Field":"PLUGIN","Message":"Unknown grouping )"
    R"(method, please use APC/ACC/PCC/NAC/EM/NCC/RENAL","Value":"","Index":"",)"
    R"("Section":"episode"}],"Episodes":[{"Id":"e1","Success":false}]})";
const std::string kRenalRequest = R"({"Group":"RENAL","Spell":{"Episodes":[{"Id":"e1"}]}})";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(GroupCommand, AnswersEachLineInOrderAndSummarises) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "group", kRenalRequest + "\n" + kRenalRequest + "\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n" + kUnknownModeAnswer + "\n");
  EXPECT_TRUE(Has(run.err, "2 records, 0 grouped successfully, 2 failed")) << run.err;
  // --mode wraps each line as the spell of a request of that mode.
  run = Zorvel(scratch, "group --mode RENAL", R"({"Id":"s","Episodes":[{"Id":"e1"}]})" "\n");
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n");
}

// A bad line is named with its line number and answered {}, so that output
// line n still answers input line n; --mode never wraps a line that is not
// JSON into one that is.
TEST(GroupCommand, BadLinesAreNamedAndAnsweredWithEmptyObjects) {
  Scratch scratch;
  const std::string file =
      scratch.Write("requests.jsonl", kRenalRequest + "\n{not json\n" + kRenalRequest + "\n");
  CommandRun run = Zorvel(scratch, "group '" + file + "'");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n{}\n" + kUnknownModeAnswer + "\n");
  EXPECT_TRUE(Has(run.err, "requests.jsonl:2: not valid JSON")) << run.err;
  EXPECT_TRUE(Has(run.err, "3 records, 0 grouped successfully, 3 failed")) << run.err;
  run = Zorvel(scratch, "group --mode NRD", R"({"Id":"s"},"MaxErrors":"abc")" "\n");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, "{}\n");
  EXPECT_TRUE(Has(run.err, "<stdin>:1: not valid JSON")) << run.err;
  run = Zorvel(scratch, "group -o '" + scratch.dir() + "out.jsonl'", "[]\n");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out + "|" + ReadFile(scratch.dir() + "out.jsonl"), "|{}\n");
  EXPECT_TRUE(Has(run.err, "<stdin>:1: not a grouping request")) << run.err;
}

// With the bundled demo tables bare spells are grouped; a blank line is
// answered with a blank line.
TEST(GroupCommand, GroupsWithTheDemoTablesAndKeepsBlankLinesAligned) {
  Scratch scratch;
  CommandRun run = Zorvel(
      scratch, "group --mode EM",
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
}

TEST(GroupCommand, EachKindOfFailureHasItsOwnExitCode) {
  Scratch scratch;
  scratch.Write("Lists.csv.enc", "");
  scratch.Write("Code.csv.enc", "");
  const std::string data = scratch.dir().substr(0, scratch.dir().size() - 1);
  CommandRun run = Zorvel(scratch, "group --data '" + data + "'");
  EXPECT_EQ(run.exit_code, 4);
  for (const char* name : {"ValidationLists.csv.enc", "RuleDefs.csv.enc",
                           "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc"}) {
    EXPECT_TRUE(Has(run.err, data + "/" + name)) << name;
  }
  EXPECT_FALSE(Has(run.err, "/Lists.csv.enc") || Has(run.err, "Code.csv.enc")) << run.err;
  run = Zorvel(scratch, "group --plugin '" + scratch.dir() + "none.so'");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_TRUE(Has(run.err, "none.so")) << run.err;
  run = Zorvel(scratch, "group '" + scratch.dir() + "absent.jsonl'");
  EXPECT_EQ(run.exit_code, 5);
  EXPECT_TRUE(Has(run.err, "absent.jsonl")) << run.err;
  for (const char* usage : {"group --no-such-option", "", "tables pack onlyone"}) {
    EXPECT_EQ(Zorvel(scratch, usage).exit_code, 1) << usage;
  }
  EXPECT_EQ(Zorvel(scratch, "--help").exit_code, 0);
}

TEST(GroupCommand, PrepareFailureWarnsAndStrictMakesItFatal) {
  Scratch scratch;
  // All six files are there, but a rule names a list that Lists lacks.
  zorvel::testing::TableTexts texts;
  texts.rule_defs = "C,DataItemInList,Procedure,,,,NoSuchList\n";
  zorvel::testing::PackedTables tables(texts);
  const std::string request = R"({"Group":"ACC","Spell":{"Episodes":[{"Id":"e1"}]}})" "\n";
  CommandRun run = Zorvel(scratch, "group --data '" + tables.dir() + "'", request);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "zorvel tables check")) << run.err;
  EXPECT_EQ(run.out, kUnknownModeAnswer + "\n");
  run = Zorvel(scratch, "group --strict --data '" + tables.dir() + "'", request);
  EXPECT_EQ(run.exit_code, 7);
  EXPECT_EQ(run.out, "");
}

TEST(GroupCommand, SchemaAndInfoPrintThePlugInsOwnAnswers) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "schema --pretty");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.rfind("{\n  \"SchemaHeader\": {\n    \"Format\": "
                          "\"SpellEpisode\",\n    \"Version\": \"1.4\"\n  },", 0), 0u)
      << run.out;
  run = Zorvel(scratch, "info");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Name:        Zorvel\nVersion:     1.2\nKind:        Processor\n"
            "Protocol:    JSON\nDescription: Quorvane 2019-20\nInterface:   11\n");
}

}  // namespace
