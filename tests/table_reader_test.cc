// Tests of TableReader: decryption and the row splitting rules of the table
// files (quotes, line ends, end of file, a header, fields of over 4096 bytes).
#include "refdata/table_reader.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/packed_tables.h"

namespace zorvel {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// The rows of `csv` packed as a table file, read until ReadRow returns 0, by
// `reader` when given (after the files it read before) or by a new one.
Rows ReadRows(const std::string& csv, bool skip_header, TableReader* given = nullptr) {
  testing::TableTexts texts;
  texts.codes = csv;
  testing::PackedTables tables(texts);
  TableReader own;
  TableReader& reader = given != nullptr ? *given : own;
  EXPECT_TRUE(reader.Open(tables.dir() + "Code.csv.enc", kTableKey, CsvDialect{skip_header}));
  Rows rows;
  // A file of n bytes cannot hold more than n + 1 rows.
  while (rows.size() <= csv.size() && reader.ReadRow() != 0)
    rows.emplace_back(reader.fields().begin(), reader.fields().end());
  return rows;
}

TEST(TableReaderTest, SplitsRowsByTheTableDialect) {
  const std::string a(4094, 'a'), d(4096, 'd');
  const struct { const char* name; bool skip_header; std::string csv; Rows rows; } cases[] = {
      {"quoted comma stays in field", false, "\"a,b\",c\n", {{"a,b", "c"}}},
      {"quoted line feed stays in field", false, "\"a\nb\",c\n", {{"a\nb", "c"}}},
      {"quotes toggle anywhere", false, "ab\"c,d\"e\n", {{"abc,de"}}},
      {"fields after quoted ones keep their bytes", false, "\"x\"y,\"z\",w\n\"q\",r\n",
       {{"xy", "z", "w"}, {"q", "r"}}},
      {"carriage return and spaces kept", false, " a , b\r\n", {{" a ", " b\r"}}},
      {"last line without line feed", false, "a\nb,c", {{"a"}, {"b", "c"}}},
      {"last line ending in empty field dropped", false, "a\nb,", {{"a"}}},
      {"empty file", false, "", {}},
      {"empty file with header", true, "", {}},
      {"header ends at its first line feed, quoted or not", true, "\"a,\nb,c\nx\n",
       {{"b", "c"}, {"x"}}},
      {"header without line feed", true, "header only", {}},
      {"header longer than a chunk takes the whole chunk", true,
       std::string(5000, 'H') + "\nx,y\n", {{std::string(5000 - 4096, 'H')}, {"x", "y"}}},
      {"quote and field carried across chunks", false, a + ",\"b\nc\"\n" + d + "\n",
       {{a, "b\nc"}, {d}}},
      {"file of exactly one chunk", false, a + "b\n", {{a + "b"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadRows(c.csv, c.skip_header), c.rows) << c.name;
}

// The dialect's rules, one byte at a time.
Rows SplitByTheRules(const std::string& csv) {
  Rows rows;
  std::vector<std::string> fields;
  std::string field;
  bool in_quotes = false;
  for (char c : csv) {
    if (c == '"') {
      in_quotes = !in_quotes;
    } else if (!in_quotes && (c == ',' || c == '\n')) {
      fields.push_back(field);
      field.clear();
      if (c == '\n') rows.push_back(std::move(fields)), fields.clear();
    } else {
      field += c;
    }
  }
  if (!field.empty()) fields.push_back(field), rows.push_back(fields);
  return rows;
}

// Rows are split sixteen bytes at a time where they can be: long and short
// fields and rows, quotes now and then, and rows close to the end of the
// file must all split as the rules say.
TEST(TableReaderTest, RandomTextsSplitByTheRules) {
  std::mt19937 random(11);
  const std::string pieces[] = {"a", "bc", "defghijklmnopqrstu", ",", ",", "\n", "\"", "\r"};
  TableReader reader;  // reads every text, longer and shorter, in one buffer
  for (int round = 0; round < 300; ++round) {
    std::string csv;
    const size_t length = random() % 120;
    const bool quoted = random() % 3 == 0;
    while (csv.size() < length) {
      const std::string& piece = pieces[random() % std::size(pieces)];
      if (piece == "\"" && !quoted) continue;
      csv += piece;
    }
    if (random() % 2 == 0) csv += '\n';
    ASSERT_EQ(ReadRows(csv, false, &reader), SplitByTheRules(csv)) << csv;
  }
}

}  // namespace
}  // namespace zorvel
