// Tests of the table packer: block padding, directory pack and unpack, and
// the zorvel tables pack/unpack commands.
#include "refdata/table_packer.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "refdata/reference_data.h"

namespace zorvel {
namespace {

// A fresh temporary directory, removed when the test ends.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zorvel_pack_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Writes the six plain tables, each holding a row that names the table.
void WritePlainTables(const TempDir& dir) {
  for (const char* name : kTableFileNames) {
    std::string plain = PlainName(name);
    WriteFile(dir.Path(plain), "Name," + plain + "\nlast,row\n");
  }
}

int RunCli(const std::string& args) {
  std::string command = std::string(ZORVEL_CLI_PATH) + " " + args + " 2>/dev/null";
  int status = system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TablePackerTest, PadsToWholeBlocksWithQuotes) {
  const struct {
    std::string csv;
    size_t size;
  } cases[] = {{"", 0}, {"a\n", 8}, {"1234567\n", 8}, {"12345678\n", 16}};
  for (const auto& c : cases) {
    std::string packed = EncryptTable(c.csv);
    EXPECT_EQ(packed.size(), c.size) << c.csv;
    std::string plain = DecryptTable(packed);
    EXPECT_EQ(plain, c.csv + std::string(c.size - c.csv.size(), '"')) << c.csv;
  }
}

TEST(TablePackerTest, EncryptionHidesText) {
  std::string packed = EncryptTable("SEX,1\nSEX,2\n");
  EXPECT_EQ(packed.find("SEX"), std::string::npos);
}

TEST(TablePackerTest, UnpackRemovesOnlyPadding) {
  const struct {
    std::string csv, unpacked;
  } cases[] = {
      {"a,b\n", "a,b\n"},
      {"a,\"b\"\n", "a,\"b\"\n"},
      {"x\n\n", "x\n\n"},
      {"", ""},
      // After a last line without a line feed the padding cannot be told
      // from data; the quotes stay and still store nothing.
      {"a\nlast", "a\nlast\"\""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UnpackTable(EncryptTable(c.csv)), c.unpacked) << c.csv;
}

TEST(TablePackerTest, DecryptsTruncatedFileWithoutOverrun) {
  std::string packed = EncryptTable("ValidationLists,1\n");
  std::string plain = DecryptTable(packed.substr(0, 11));
  EXPECT_EQ(plain.size(), 16u);
  EXPECT_EQ(plain.substr(0, 8), "Validati");
}

TEST(TablePackerTest, PlainNameDropsEncryptedSuffix) {
  EXPECT_EQ(PlainName("Lists.csv.enc"), "Lists.csv");
  EXPECT_EQ(PlainName("Lists.csv"), "Lists.csv");
}

TEST(TablePackerTest, DirectoryRoundTrip) {
  TempDir plain, packed, unpacked;
  WritePlainTables(plain);
  PackResult result = PackDirectory(plain.path(), packed.path() + "/nested");
  ASSERT_TRUE(result.ok) << result.message;
  result = UnpackDirectory(packed.path() + "/nested", unpacked.path());
  ASSERT_TRUE(result.ok) << result.message;
  for (const char* name : kTableFileNames) {
    std::string encrypted = ReadFile(packed.path() + "/nested/" + name);
    EXPECT_EQ(encrypted.size() % 8, 0u) << name;
    EXPECT_EQ(ReadFile(unpacked.Path(PlainName(name))),
              ReadFile(plain.Path(PlainName(name))))
        << name;
  }
}

TEST(TablePackerTest, PackNamesMissingFile) {
  TempDir plain, packed;
  WritePlainTables(plain);
  std::filesystem::remove(plain.Path("RuleDefs.csv"));
  PackResult result = PackDirectory(plain.path(), packed.path());
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.output_failed);
  EXPECT_NE(result.message.find("RuleDefs.csv"), std::string::npos) << result.message;
}

TEST(TablePackerTest, UnpackNamesMissingFile) {
  TempDir packed, plain;
  PackResult result = UnpackDirectory(packed.path(), plain.path());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("ValidationLists.csv.enc"), std::string::npos)
      << result.message;
}

TEST(TablePackerTest, CommandsRoundTripDemoTables) {
  TempDir packed, unpacked;
  std::string demo = std::string(ZORVEL_SOURCE_DIR) + "/data/demo";
  ASSERT_EQ(RunCli("tables pack " + demo + " " + packed.path()), 0);
  ASSERT_EQ(RunCli("tables unpack " + packed.path() + " " + unpacked.path()), 0);
  for (const char* name : kTableFileNames)
    EXPECT_EQ(ReadFile(unpacked.Path(PlainName(name))),
              ReadFile(demo + "/" + PlainName(name)))
        << name;
  ReferenceData data;
  EXPECT_EQ(data.LoadAll(packed.path() + "/"), LoadStatus::kOk) << data.load_error();
}

TEST(TablePackerTest, CommandExitsWithTablesMissing) {
  TempDir empty, out;
  EXPECT_EQ(RunCli("tables pack " + empty.path() + " " + out.path()), 4);
}

}  // namespace
}  // namespace zorvel
