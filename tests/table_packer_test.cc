// Tests of the table packer: block padding, and the zorvel tables pack and
// unpack commands, which write all six files or leave the destination as it
// was.
#include "refdata/table_packer.h"

#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "refdata/reference_data.h"
#include "support/packed_tables.h"

namespace zorvel {
namespace {

TEST(TablePackerTest, PadsWithQuotesThatUnpackingDropsAfterTheLastLineFeed) {
  const struct { std::string csv; size_t size; std::string unpacked; } cases[] = {
      {"", 0, ""},
      {"a\n", 8, "a\n"},
      {"1234567\n", 8, "1234567\n"},
      {"12345678\n", 16, "12345678\n"},
      {"a,\"b\"\n", 8, "a,\"b\"\n"},
      {"x\n\n", 8, "x\n\n"},
      // After a last line without a line feed the padding cannot be told
      // from data; the quotes stay and still store nothing.
      {"a\nlast", 8, "a\nlast\"\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncryptTable(c.csv).size(), c.size) << c.csv;
    EXPECT_EQ(UnpackTable(EncryptTable(c.csv)), c.unpacked);
  }
}

TEST(TablePackerTest, DecryptsTruncatedFileWithoutOverrun) {
  std::string plain = DecryptTable(EncryptTable("ValidationLists,1\n").substr(0, 11));
  EXPECT_EQ(plain.size(), 16u);
  EXPECT_EQ(plain.substr(0, 8), "Validati");
}

TEST(TablePackerTest, CommandsRoundTripTheDemoTables) {
  // The build packs the demo tables with "zorvel tables pack".
  testing::ScratchDir scratch;
  const std::string demo = std::string(ZORVEL_SOURCE_DIR) + "/data/demo/";
  const testing::CommandRun run =
      testing::RunZorvel("tables unpack " ZORVEL_DEMO_DIR " " + scratch.dir() + "new/dir");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  for (const char* name : kTableFileNames)
    EXPECT_EQ(testing::ReadFile(scratch.dir() + "new/dir/" + PlainName(name)),
              testing::ReadFile(demo + PlainName(name))) << name;
}

TEST(TablePackerTest, CommandsNameTheMissingFile) {
  // The scratch folder holds packed tables but no plain ones.
  testing::PackedTables scratch{testing::TableTexts()};
  scratch.Remove("RuleDefs.csv.enc");
  for (const auto& [command, missing] : {std::pair{"tables pack ", "ValidationLists.csv"},
                                         std::pair{"tables unpack ", "RuleDefs.csv.enc"}}) {
    const testing::CommandRun run =
        testing::RunZorvel(command + scratch.dir() + " " + scratch.dir() + "out");
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_NE(run.err.find(scratch.dir() + missing), std::string::npos) << run.err;
  }
}

// Every entry of folder `dir` by name: a file's bytes, or "<folder>".
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    entries[entry.path().filename().string()] =
        entry.is_directory() ? "<folder>" : testing::ReadFile(entry.path().string());
  return entries;
}

// Something wrong with the source or destination of "tables pack", and the
// exit code and message it must give.
struct PackFault {
  const char* name;
  void (*spoil)(const testing::ScratchDir& scratch);  // src/ and dst/ are ready
  int exit_code;
  const char* message;
};

const PackFault kPackFaults[] = {
    {"MissingTable", [](const testing::ScratchDir& s) { s.Remove("src/Code.csv"); }, 4,
     "cannot read "},
    {"NulInACell",
     [](const testing::ScratchDir& s) { s.Write("src/Code.csv", std::string("HRG6,UZ01Z,UZ,a\nHRG6,UZ\0,UZ,b\n", 31)); },
     8, "src/Code.csv:2: holds a NUL byte"},
    {"NotUtf8", [](const testing::ScratchDir& s) { s.Write("src/Lists.csv", "L,X01,1\nL,\xC3(,2\n"); }, 8,
     "src/Lists.csv:2: is not valid UTF-8"},
    {"LastLineUnended", [](const testing::ScratchDir& s) { s.Write("src/Lists.csv", "L,X01,1\nL,X02,"); },
     8, "src/Lists.csv:2: ends without a line feed"},
    // Writing the third table fails once the first two are written.
    {"DestinationHoldsAFolder",
     [](const testing::ScratchDir& s) {
       s.Remove("dst/RuleDefs.csv.enc");
       std::filesystem::create_directory(s.dir() + "dst/RuleDefs.csv.enc");
     },
     9, "dst: it holds the folder RuleDefs.csv.enc"},
};

class PackFaultTest : public ::testing::TestWithParam<PackFault> {};

TEST_P(PackFaultTest, LeavesTheDestinationAsItWas) {
  testing::ScratchDir scratch;
  std::filesystem::copy(std::string(ZORVEL_SOURCE_DIR) + "/data/demo", scratch.dir() + "src");
  testing::PackedTables old_tables{testing::TwoRuleTexts()};
  std::filesystem::copy(old_tables.dir(), scratch.dir() + "dst");
  GetParam().spoil(scratch);
  const auto before = Snapshot(scratch.dir() + "dst");
  const testing::CommandRun run =
      testing::RunZorvel("tables pack " + scratch.dir() + "src " + scratch.dir() + "dst");
  EXPECT_EQ(run.exit_code, GetParam().exit_code);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(scratch.dir() + "dst"), before);
  EXPECT_EQ(Snapshot(scratch.dir()).size(), 2u);  // no folder left beside dst
}

INSTANTIATE_TEST_SUITE_P(Faults, PackFaultTest, ::testing::ValuesIn(kPackFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TablePackerTest, PackReplacesTheTablesAndKeepsOtherFiles) {
  testing::ScratchDir scratch;
  testing::PackedTables old_tables{testing::TwoRuleTexts()};
  std::filesystem::copy(old_tables.dir(), scratch.dir() + "dst");
  scratch.Write("dst/notes.txt", "kept");
  const testing::CommandRun run = testing::RunZorvel(
      "tables pack " + std::string(ZORVEL_SOURCE_DIR) + "/data/demo " + scratch.dir() + "dst/");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  auto expected = Snapshot(ZORVEL_DEMO_DIR);
  expected["notes.txt"] = "kept";
  EXPECT_EQ(Snapshot(scratch.dir() + "dst"), expected);
  EXPECT_EQ(Snapshot(scratch.dir()).size(), 1u);
}

}  // namespace
}  // namespace zorvel
