// Tests of the table packer: block padding, and the zorvel tables pack and
// unpack commands.
#include "refdata/table_packer.h"

#include <stdio.h>
#include <sys/wait.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "refdata/reference_data.h"
#include "support/packed_tables.h"

namespace zorvel {
namespace {

// Runs the zorvel program with `args`; returns its exit code and adds what it
// wrote on either stream to `output`.
int RunCli(const std::string& args, std::string* output) {
  FILE* pipe = popen((std::string(ZORVEL_CLI_PATH) + " " + args + " 2>&1").c_str(), "r");
  for (int c; (c = fgetc(pipe)) != EOF;) output->push_back(static_cast<char>(c));
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

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
  testing::PackedTables scratch{testing::TableTexts()};
  const std::string demo = std::string(ZORVEL_SOURCE_DIR) + "/data/demo/";
  std::string output;
  ASSERT_EQ(RunCli("tables unpack " ZORVEL_DEMO_DIR " " + scratch.dir() + "new/dir", &output), 0)
      << output;
  for (const char* name : kTableFileNames)
    EXPECT_EQ(ReadFile(scratch.dir() + "new/dir/" + PlainName(name)),
              ReadFile(demo + PlainName(name))) << name;
}

TEST(TablePackerTest, CommandsNameTheMissingFile) {
  // The scratch folder holds packed tables but no plain ones.
  testing::PackedTables scratch{testing::TableTexts()};
  scratch.Remove("RuleDefs.csv.enc");
  for (const auto& [command, missing] : {std::pair{"tables pack ", "ValidationLists.csv"},
                                         std::pair{"tables unpack ", "RuleDefs.csv.enc"}}) {
    std::string output;
    EXPECT_EQ(RunCli(command + scratch.dir() + " " + scratch.dir() + "out", &output), 4);
    EXPECT_NE(output.find(scratch.dir() + missing), std::string::npos) << output;
  }
}

}  // namespace
}  // namespace zorvel
