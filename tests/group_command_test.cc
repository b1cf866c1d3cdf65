// The zorvel group command as a user runs it: JSON Lines in, one response
// per line out, messages and the summary on standard error.
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

const char kUnknownModeAnswer[] =
    "{\"Success\":false,\"Errors\":[{\"Field\":\"PLUGIN\",\"Message\":"
    "\"Unknown grouping method, please use APC/ACC/PCC/NAC/EM/NCC/RENAL\","
    "\"Value\":\"\",\"Index\":\"\",\"Section\":\"episode\"}],\"Episodes\":"
    "[{\"Id\":\"e1\",\"Success\":false}]}";

TEST(GroupCommand, WritesOneResponsePerLineAndASummary) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "group",
                   "{\"Group\":\"RENAL\",\"Spell\":{\"Episodes\":[{\"Id\":\"e1\"}]}}\n"
                   "{\"Group\":\"RENAL\",\"Spell\":{\"Episodes\":[{\"Id\":\"e1\"}]}}\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kUnknownModeAnswer) + "\n" +
                         kUnknownModeAnswer + "\n");
  EXPECT_NE(run.err.find("2 records, 0 grouped successfully, 2 failed"),
            std::string::npos)
      << run.err;
}

TEST(GroupCommand, ModeOptionWrapsBareSpells) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "group --mode RENAL",
                   "{\"Id\":\"s\",\"Episodes\":[{\"Id\":\"e1\"}]}\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kUnknownModeAnswer) + "\n");
}

TEST(GroupCommand, BadLinesAreNamedAndAnsweredWithEmptyObjects) {
  Scratch scratch;
  std::string file = scratch.Write(
      "requests.jsonl",
      "{\"Group\":\"RENAL\",\"Spell\":{\"Episodes\":[{\"Id\":\"e1\"}]}}\n"
      "{not json\n"
      "{\"Group\":\"RENAL\",\"Spell\":{\"Episodes\":[{\"Id\":\"e1\"}]}}\n");
  CommandRun run = Zorvel(scratch, "group '" + file + "'");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, std::string(kUnknownModeAnswer) + "\n{}\n" +
                         kUnknownModeAnswer + "\n");
  EXPECT_NE(run.err.find("requests.jsonl:2: not valid JSON"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("3 records, 0 grouped successfully, 3 failed"),
            std::string::npos)
      << run.err;
}

// With the bundled demo tables, bare spells are grouped; a blank line is
// answered with a blank line so that output line n answers input line n.
TEST(GroupCommand, GroupsWithTheDemoTablesAndKeepsBlankLinesAligned) {
  Scratch scratch;
  CommandRun run = Zorvel(
      scratch, "group --mode EM",
      "{\"Id\":\"EM-1\",\"Episodes\":[{\"Id\":\"1\",\"Age\":\"45\","
      "\"AEPatGroup\":\"10\",\"Invest\":[\"05\",\"01\"],\"Treat\":[\"05\"]}]}\n"
      "\n"
      "{\"Id\":\"EM-2\",\"Episodes\":[{\"Id\":\"1\"}]}\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"Success\":true,\"Id\":\"EM-1\",\"Episodes\":[{\"Id\":\"1\","
            "\"Success\":true,\"HRG\":\"EM01A\"}]}\n"
            "\n"
            "{\"Success\":false,\"Id\":\"EM-2\",\"Episodes\":[{\"Id\":\"1\","
            "\"Success\":false,\"Errors\":[{\"Field\":\"Invest\",\"Message\":"
            "\"is blank\",\"Value\":\"\",\"Index\":\"0\"},{\"Field\":\"Treat\","
            "\"Message\":\"is blank\",\"Value\":\"\",\"Index\":\"0\"},{\"Field\":"
            "\"Age\",\"Message\":\"is blank\",\"Value\":\"\",\"Index\":\"\"}],"
            "\"HRG\":\"UZ01Z\"}]}\n");
  EXPECT_NE(run.err.find("2 records, 1 grouped successfully, 1 failed"),
            std::string::npos)
      << run.err;
}

TEST(GroupCommand, ModeOptionDoesNotWrapLinesThatAreNotJson) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "group --mode NRD",
                   "{\"Id\":\"s\"},\"MaxErrors\":\"abc\"\n");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, "{}\n");
  EXPECT_NE(run.err.find("<stdin>:1: not valid JSON"), std::string::npos)
      << run.err;
}

TEST(GroupCommand, MissingTableFilesAreEachNamed) {
  Scratch scratch;
  scratch.Write("Lists.csv.enc", "");
  scratch.Write("Code.csv.enc", "");
  std::string data = scratch.dir().substr(0, scratch.dir().size() - 1);
  CommandRun run = Zorvel(scratch, "group --data '" + data + "'", "");
  EXPECT_EQ(run.exit_code, 4);
  for (const char* name :
       {"ValidationLists.csv.enc", "RuleDefs.csv.enc",
        "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc"}) {
    EXPECT_NE(run.err.find(data + "/" + name), std::string::npos) << name;
  }
  EXPECT_EQ(run.err.find("Lists.csv.enc\n"), run.err.find("ValidationLists.csv.enc\n") + 10)
      << "Lists.csv.enc is present and not named";
  EXPECT_EQ(run.err.find("Code.csv.enc"), std::string::npos);
}

TEST(GroupCommand, PrepareFailureWarnsAndStrictMakesItFatal) {
  Scratch scratch;
  // All six files are there, but a rule names a list that Lists lacks.
  zorvel::testing::TableTexts texts;
  texts.validation_lists = "SEX,1\n";
  texts.rule_defs = "C,DataItemInList,Procedure,,,,NoSuchList\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid\n";
  zorvel::testing::PackedTables tables(texts);
  CommandRun run = Zorvel(scratch, "group --data '" + tables.dir() + "'",
                   "{\"Group\":\"ACC\",\"Spell\":{\"Episodes\":[{\"Id\":\"e1\"}]}}\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.err.find("zorvel tables check"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, std::string(kUnknownModeAnswer) + "\n");
  CommandRun strict = Zorvel(scratch, "group --strict --data '" + tables.dir() + "'",
                      "{}\n");
  EXPECT_EQ(strict.exit_code, 7);
  EXPECT_EQ(strict.out, "");
}

TEST(GroupCommand, MissingPlugInHasItsOwnExitCode) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "group --plugin '" + scratch.dir() + "none.so'", "");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_NE(run.err.find("none.so"), std::string::npos) << run.err;
}

TEST(GroupCommand, UnreadableInputHasItsOwnExitCode) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "group '" + scratch.dir() + "absent.jsonl'", "");
  EXPECT_EQ(run.exit_code, 5);
  EXPECT_NE(run.err.find("absent.jsonl"), std::string::npos) << run.err;
}

TEST(GroupCommand, OutputOptionWritesTheResponsesToAFile) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "group -o '" + scratch.dir() + "out.jsonl'",
                   "[]\n");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadFile(scratch.dir() + "out.jsonl"), "{}\n");
  EXPECT_NE(run.err.find("<stdin>:1: not a grouping request"), std::string::npos)
      << run.err;
}

TEST(Command, BadCommandLinesExitWithTheUsageCode) {
  Scratch scratch;
  EXPECT_EQ(Zorvel(scratch, "group --no-such-option").exit_code, 1);
  EXPECT_EQ(Zorvel(scratch, "").exit_code, 1);
  EXPECT_EQ(Zorvel(scratch, "tables pack onlyone").exit_code, 1);
  EXPECT_EQ(Zorvel(scratch, "--help").exit_code, 0);
}

TEST(SchemaCommand, PrettyPrintsTheSchema) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "schema --pretty");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out.rfind("{\n  \"SchemaHeader\": {\n    \"Format\": "
                          "\"SpellEpisode\",\n    \"Version\": \"1.4\"\n  },",
                          0),
            0u)
      << run.out;
}

TEST(InfoCommand, PrintsTheIdentity) {
  Scratch scratch;
  CommandRun run = Zorvel(scratch, "info");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Name:        Zorvel\nVersion:     1.2\nKind:        Processor\n"
            "Protocol:    JSON\nDescription: Quorvane 2019-20\nInterface:   11\n");
}

}  // namespace
