// Tests of TableReader: chunked decryption and the row splitting rules of the
// table files (quotes, carriage returns, empty lines, end of file, header).
#include "refdata/table_reader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "refdata/table_packer.h"

namespace zorvel {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// A file in the temporary directory, removed when the test ends.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    path_ = (std::filesystem::temp_directory_path() /
             ("zorvel_reader_" + std::to_string(counter_++) + "_" +
              std::to_string(::testing::UnitTest::GetInstance()->random_seed())))
                .string();
    std::ofstream out(path_, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::string path_;
};

// Every row of an encrypted file, read until ReadRow returns 0.
Rows ReadEncrypted(const std::string& bytes, bool skip_header = false) {
  TempFile file(bytes);
  TableReader reader;
  CsvDialect dialect;
  dialect.skip_header = skip_header;
  EXPECT_TRUE(reader.Open(file.path(), kTableKey, dialect));
  Rows rows;
  // A file of n bytes cannot hold more than n + 1 rows.
  for (size_t guard = 0; guard <= bytes.size() + 1; ++guard) {
    size_t count = reader.ReadRow();
    EXPECT_EQ(count, reader.fields().size());
    if (count == 0) break;
    rows.push_back(reader.fields());
  }
  return rows;
}

// The rows of a plain CSV text, packed as the table files are.
Rows ReadPlain(const std::string& csv, bool skip_header = false) {
  return ReadEncrypted(EncryptTable(csv), skip_header);
}

struct SplitCase {
  const char* name;
  std::string csv;
  Rows rows;
};

TEST(TableReaderTest, SplitsRowsByTheTableDialect) {
  const SplitCase cases[] = {
      {"plain fields", "a,b,c\nd,e\n", {{"a", "b", "c"}, {"d", "e"}}},
      {"quoted comma stays in field", "\"a,b\",c\n", {{"a,b", "c"}}},
      {"quoted line feed stays in field", "\"a\nb\",c\n", {{"a\nb", "c"}}},
      {"quotes toggle anywhere", "ab\"c,d\"e\n", {{"abc,de"}}},
      {"two quotes store nothing", "a\"\"b,\"\"\n", {{"ab", ""}}},
      {"carriage return kept", "a,b\r\n", {{"a", "b\r"}}},
      {"spaces kept", " a , b \n", {{" a ", " b "}}},
      {"empty line is one empty field", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
      {"empty fields", ",,\n", {{"", "", ""}}},
      {"last line without line feed", "a\nb,c", {{"a"}, {"b", "c"}}},
      {"last line ending in empty field dropped", "a\nb,", {{"a"}}},
      {"empty text", "", {}},
  };
  for (const SplitCase& c : cases) EXPECT_EQ(ReadPlain(c.csv), c.rows) << c.name;
}

TEST(TableReaderTest, QuotePaddingAfterLastLineFeedYieldsNoRow) {
  std::string packed = EncryptTable("a,b\n");
  ASSERT_EQ(packed.size(), 8u);
  EXPECT_EQ(ReadEncrypted(packed), (Rows{{"a", "b"}}));
}

TEST(TableReaderTest, OtherPaddingIsReadAsAFinalRow) {
  // Padding that is not made of quotes arrives as one more row.
  std::string packed = EncryptTable("a,b\nxxxx");
  EXPECT_EQ(ReadEncrypted(packed), (Rows{{"a", "b"}, {"xxxx"}}));
}

TEST(TableReaderTest, SkipsHeaderLine) {
  EXPECT_EQ(ReadPlain("Name,Code\nx,y\n", true), (Rows{{"x", "y"}}));
}

TEST(TableReaderTest, HeaderIsNeverDataWhateverItHolds) {
  // The header ends at its first line feed even inside quotes.
  EXPECT_EQ(ReadPlain("\"a,\nb,c\nx\n", true), (Rows{{"b", "c"}, {"x"}}));
}

TEST(TableReaderTest, HeaderLongerThanAChunkLosesTheWholeChunk) {
  std::string header(5000, 'H');
  Rows rows = ReadPlain(header + "\nx,y\n", true);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{std::string(5000 - 4096, 'H')}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"x", "y"}));
}

TEST(TableReaderTest, ShortFileWithoutLineFeedUnderSkipHeaderHasNoRows) {
  EXPECT_EQ(ReadPlain("header only", true), Rows{});
}

TEST(TableReaderTest, RowsCrossChunkBoundaries) {
  std::string csv;
  Rows expected;
  for (int i = 0; i < 1000; ++i) {
    std::string code = "C" + std::to_string(i);
    csv += "List," + code + "\n";
    expected.push_back({"List", code});
  }
  ASSERT_GT(csv.size(), 2 * TableReader::kChunkSize);
  EXPECT_EQ(ReadPlain(csv), expected);
}

TEST(TableReaderTest, FileOfExactlyOneChunkEndsCleanly) {
  std::string csv(TableReader::kChunkSize - 1, 'a');
  csv += "\n";
  Rows rows = ReadPlain(csv);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].size(), TableReader::kChunkSize - 1);
}

TEST(TableReaderTest, CountsLinesOfRows) {
  TempFile file(EncryptTable("h\na\n\"x\ny\"\n\nb\n"));
  TableReader reader;
  CsvDialect dialect;
  dialect.skip_header = true;
  ASSERT_TRUE(reader.Open(file.path(), kTableKey, dialect));
  std::vector<int> lines;
  while (reader.ReadRow() != 0) lines.push_back(reader.line());
  EXPECT_EQ(lines, (std::vector<int>{2, 3, 5, 6}));
}

TEST(TableReaderTest, ReportsRowEndedByEndOfFile) {
  TempFile file(EncryptTable("a\nb"));
  TableReader reader;
  ASSERT_TRUE(reader.Open(file.path(), kTableKey, CsvDialect{}));
  ASSERT_EQ(reader.ReadRow(), 1u);
  EXPECT_FALSE(reader.ended_by_eof());
  ASSERT_EQ(reader.ReadRow(), 1u);
  EXPECT_TRUE(reader.ended_by_eof());
}

TEST(TableReaderTest, MissingFileDoesNotOpen) {
  TableReader reader;
  EXPECT_FALSE(reader.Open("/nonexistent/zorvel/Lists.csv.enc", kTableKey,
                           CsvDialect{}));
}

TEST(TableReaderTest, EmptyFileOpensWithNoRows) {
  EXPECT_EQ(ReadEncrypted(""), Rows{});
  EXPECT_EQ(ReadEncrypted("", true), Rows{});
}

TEST(TableReaderTest, TruncatedFileReadsWholeBlocksAndStopsSafely) {
  // 13 bytes: the first block decrypts; the partial second one decrypts
  // whatever the chunk buffer holds, without reading past it.
  std::string packed = EncryptTable("ab,cd,e\nfg,hi\n");
  Rows rows = ReadEncrypted(packed.substr(0, 13));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], (std::vector<std::string>{"ab", "cd", "e"}));
}

TEST(TableReaderTest, RandomBytesNeverCrash) {
  std::mt19937 random(20190401);
  for (size_t size : {1u, 7u, 8u, 100u, 4095u, 4096u, 4097u, 9000u}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    ReadEncrypted(bytes);
    ReadEncrypted(bytes, true);
  }
}

}  // namespace
}  // namespace zorvel
