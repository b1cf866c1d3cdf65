// Tests of the table packer: block padding, and the zorvel tables pack and
// unpack commands.
#include "refdata/table_packer.h"


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

}  // namespace
}  // namespace zorvel
