// The flat-file reader where files are hard to make by hand: rows across the
// reader's buffer, rows past its length limit, line numbers after quoted line
// breaks, UTF-8 at its edges, gzip members and damage.
#include <zlib.h>

#include <random>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "csv_cells.h"
#include "csv_row_reader.h"
#include "spell_assembler.h"
#include "spell_batch.h"
#include "support/scratch.h"

namespace zorvel::cli {
namespace {

using testing::ScratchDir;

struct Read {
  std::vector<CsvRow> rows;
  std::string error;
};

Read ReadAll(const std::string& path, bool split_plain_lines = true) {
  Read read;
  CsvRowReader reader;
  reader.set_split_plain_lines(split_plain_lines);
  if (!reader.Open(path)) {
    read.error = reader.error();
    return read;
  }
  CsvRow row;
  while (reader.Next(&row)) read.rows.push_back(row);
  read.error = reader.error();
  return read;
}

std::string Gzip(const std::string& text) {
  uLongf size = compressBound(text.size()) + 64;
  std::string packed(size, '\0');
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(packed.data());
  stream.avail_out = static_cast<uInt>(packed.size());
  deflate(&stream, Z_FINISH);
  packed.resize(stream.total_out);
  deflateEnd(&stream);
  return packed;
}

TEST(CsvRowReader, RowsAcrossTheBufferKeepTheirCellsAndLines) {
  // A quoted cell with a line break straddles the first 256 KiB read.
  std::string text = "a,b\n";
  long line = 2;
  while (text.size() < 256 * 1024 - 10) {
    text += "x" + std::to_string(line) + ",y\n";
    ++line;
  }
  const long straddling = line;
  text += "\"first\nsecond\",\"" + std::string(40, 'q') + "\"\nlast,row";
  ScratchDir scratch;
  for (const std::string& path :
       {scratch.Write("plain.csv", text), scratch.Write("packed.csv.gz", Gzip(text))}) {
    const Read read = ReadAll(path);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.rows.size(), static_cast<size_t>(straddling + 1)) << path;
    const CsvRow& quoted = read.rows[static_cast<size_t>(straddling - 1)];
    EXPECT_EQ(quoted.line, straddling);
    EXPECT_EQ(quoted.cells.ToStrings(),
              (std::vector<std::string>{"first\nsecond", std::string(40, 'q')}));
    EXPECT_EQ(read.rows.back().line, straddling + 2);
    EXPECT_EQ(read.rows.back().cells.ToStrings(), (std::vector<std::string>{"last", "row"}));
  }
}

TEST(CsvRowReader, ARowPastTheLimitIsAFaultAndReadingResumesOnTheNextLine) {
  ScratchDir scratch;
  const std::string text = "h\n\"open " + std::string(CsvRowReader::kMaxRowBytes, 'z') +
                           "\nstill open\nnext,row\n";
  const Read read = ReadAll(scratch.Write("long.csv", text));
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.rows.size(), 4u);
  EXPECT_EQ(read.rows[1].line, 2);
  EXPECT_NE(read.rows[1].fault.find("longer than 1048576 bytes"), std::string::npos);
  // The rest of the line where the limit was passed is skipped; the next
  // line starts a row of its own.
  EXPECT_EQ(read.rows[2].line, 3);
  EXPECT_EQ(read.rows[2].cells.ToStrings(), (std::vector<std::string>{"still open"}));
  EXPECT_EQ(read.rows[3].cells.ToStrings(), (std::vector<std::string>{"next", "row"}));
}

TEST(CsvRowReader, OnlyALeadingByteOrderMarkIsSkippedAndBlankLinesAreNoRows) {
  ScratchDir scratch;
  const Read read = ReadAll(scratch.Write("bom.csv", "\xEF\xBB\xBFh\r\n\r\n\n\xEF\xBB\xBFv\r\n"));
  ASSERT_EQ(read.rows.size(), 2u);
  EXPECT_EQ(read.rows[0].cells.ToStrings(), (std::vector<std::string>{"h"}));
  EXPECT_EQ(read.rows[1].line, 4);
  EXPECT_EQ(read.rows[1].cells.ToStrings(), (std::vector<std::string>{"\xEF\xBB\xBFv"}));
}

TEST(CsvRowReader, GzipMembersAreReadInTurnAndDamageIsAnError) {
  ScratchDir scratch;
  const Read joined = ReadAll(scratch.Write("two.csv.gz", Gzip("a\nb\n") + Gzip("c\n")));
  ASSERT_EQ(joined.error, "");
  ASSERT_EQ(joined.rows.size(), 3u);
  EXPECT_EQ(joined.rows[2].cells.ToStrings(), (std::vector<std::string>{"c"}));

  std::string damaged = Gzip(std::string(5000, 'x') + "\n");
  damaged[damaged.size() / 2] ^= 0x55;
  EXPECT_NE(ReadAll(scratch.Write("bad.csv.gz", damaged)).error, "");
  const std::string whole = Gzip("a\nb\n");
  const Read cut = ReadAll(scratch.Write("cut.csv.gz", whole.substr(0, whole.size() - 6)));
  EXPECT_NE(cut.error.find("the gzip data ends early"), std::string::npos) << cut.error;
  EXPECT_NE(ReadAll(scratch.dir() + "absent.csv").error.find("cannot read"), std::string::npos);
}

TEST(CsvRowReader, PlainLinesSplitDirectlyReadAsTheParserReadsThem) {
  // Random texts of cells, commas, line ends, spaces, quotes and bytes that
  // are not UTF-8: each must come back as the same rows, lines and faults
  // whether its plain lines are split directly or all go to the parser.
  const std::vector<std::string> pieces = {"a",  "bc", ",", ",",   "\n", "\r\n", " ",
                                           "\r", "\"", "\xC3\xA9", "\xFF", "x\"y", ",,"};
  std::mt19937 random(7);
  ScratchDir scratch;
  size_t rows = 0;
  for (int text_number = 0; text_number < 400; ++text_number) {
    std::string text;
    const size_t length = random() % 60;
    for (size_t i = 0; i < length; ++i) {
      // Quotes and stray carriage returns are kept rare, so that most lines
      // are plain and some rows still carry quoted line breaks.
      const size_t piece = random() % pieces.size();
      if ((pieces[piece] == "\"" || pieces[piece] == "\r") && random() % 4 != 0) continue;
      text += pieces[piece];
    }
    const std::string path = scratch.Write("random.csv", text);
    const Read split = ReadAll(path);
    const Read parsed = ReadAll(path, false);
    ASSERT_EQ(split.error, parsed.error) << ::testing::PrintToString(text);
    ASSERT_EQ(split.rows.size(), parsed.rows.size()) << ::testing::PrintToString(text);
    for (size_t i = 0; i < split.rows.size(); ++i) {
      EXPECT_EQ(split.rows[i].line, parsed.rows[i].line) << ::testing::PrintToString(text);
      EXPECT_EQ(split.rows[i].cells, parsed.rows[i].cells) << ::testing::PrintToString(text);
      EXPECT_EQ(split.rows[i].fault, parsed.rows[i].fault) << ::testing::PrintToString(text);
    }
    rows += split.rows.size();
  }
  EXPECT_GT(rows, 1500u);
}

TEST(CsvCells, ARunOfCellsIsWrittenAsEachCellAlone) {
  const std::vector<std::string> pieces = {"", "a", "HRG01", ",", "\"", "\n", "\r", " ", ";"};
  std::mt19937 random(3);
  for (int i = 0; i < 500; ++i) {
    std::vector<std::string> texts(random() % 6);
    for (std::string& text : texts) {
      // Mostly cells that need no quotes, now and then one that does.
      const size_t count = random() % 4;
      for (size_t k = 0; k < count; ++k) {
        text += pieces[random() % (random() % 8 == 0 ? pieces.size() : 3)];
      }
    }
    const std::vector<std::string_view> cells(texts.begin(), texts.end());
    std::string together = "S1\n";
    AppendCsvRow(&together, cells);
    std::string alone = "S1\n";
    for (size_t k = 0; k < cells.size(); ++k) AppendCsvCell(&alone, cells[k], k == 0);
    alone.push_back('\n');
    ASSERT_EQ(together, alone) << i;
  }
}

TEST(CsvRowReader, Utf8IsCheckedAtItsEdges) {
  struct Sample {
    const char* text;
    bool valid;
  };
  const Sample samples[] = {
      {"plain", true},           {"\xC2\x80", true},          {"\xDF\xBF", true},
      {"\xE0\xA0\x80", true},    {"\xED\x9F\xBF", true},      {"\xEE\x80\x80", true},
      {"\xF0\x90\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true},
      {"\xC0\x80", false},       {"\xC1\xBF", false},         {"\xE0\x9F\xBF", false},
      {"\xED\xA0\x80", false},   {"\xF0\x8F\xBF\xBF", false}, {"\xF4\x90\x80\x80", false},
      {"\xF5\x80\x80\x80", false}, {"\x80", false},           {"\xE2\x82", false},
      {"\xE2\x28\xA1", false},   {"\xFF", false},
  };
  for (const Sample& sample : samples) {
    const std::string text = sample.text;
    EXPECT_EQ(IsUtf8(text.data(), text.size()), sample.valid) << ::testing::PrintToString(text);
  }
}

TEST(SpellBatch, EncodedBatchesAndResultsComeBackWholeAndCutOnesAreRefused) {
  SpellBatch batch;
  batch.spells.push_back({"S1", {2, 3}, {{"a", "", "c"}, {"d", "e,\"f\"", ""}}});
  batch.spells.push_back({"", {9}, {{}}});
  // Rows whose texts lie on both sides of the size that takes one byte.
  batch.spells.push_back({"S3", {12, 13, 14, 15},
                          {{std::string(254, 'x')}, {std::string(255, 'y')},
                           {std::string(300, 'z')}, {"a", std::string(260, 'b'), "c"}}});
  const std::string bytes = EncodeBatch(batch);
  // Decoded into the room a larger batch left, it is still the same batch.
  SpellBatch larger = batch;
  larger.spells.push_back(batch.spells[0]);
  SpellBatch back;
  ASSERT_TRUE(DecodeBatch(EncodeBatch(larger), &back));
  ASSERT_TRUE(DecodeBatch(bytes, &back));
  ASSERT_EQ(back.spells.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back.spells[i].id, batch.spells[i].id);
    EXPECT_EQ(back.spells[i].rows, batch.spells[i].rows);
    EXPECT_EQ(back.spells[i].lines, batch.spells[i].lines);
  }
  EXPECT_EQ(back.row_count, 7u);

  BatchResult result;
  result.spells = "S1,true\n";
  result.responses = "{}\n";
  result.trace = "S1,,1,Plugin,Mode\n";
  result.failed = 4;
  result.hrgs.Add("AA01A", 2);
  result.messages.Add("is blank", 7);
  std::string result_bytes;
  EncodeResult(result, &result_bytes);
  BatchResult result_back;
  ASSERT_TRUE(DecodeResult(result_bytes, &result_back));
  EXPECT_EQ(result_back.spells, result.spells);
  EXPECT_EQ(result_back.trace, result.trace);
  EXPECT_EQ(result_back.responses, result.responses);
  EXPECT_EQ(result_back.failed, 4);
  EXPECT_EQ(result_back.hrgs.size(), 1u);
  EXPECT_EQ(result_back.hrgs.Of("AA01A"), 2);
  EXPECT_EQ(result_back.messages.Of("is blank"), 7);

  for (size_t size = 0; size < bytes.size(); ++size) {
    SpellBatch cut;
    EXPECT_FALSE(DecodeBatch(std::string_view(bytes).substr(0, size), &cut)) << size;
  }
  for (size_t size = 0; size < result_bytes.size(); ++size) {
    BatchResult cut;
    EXPECT_FALSE(DecodeResult(std::string_view(result_bytes).substr(0, size), &cut)) << size;
  }
  // The places of the last row's three cells end the bytes (a, the b's,
  // c): one past its text, or one that ends before it begins, is refused.
  for (const auto& [offset, value] : {std::pair<size_t, uint32_t>{4, 100000}, {16, 600}}) {
    std::string bad = bytes;
    std::memcpy(&bad[bad.size() - offset], &value, sizeof value);
    EXPECT_FALSE(DecodeBatch(bad, &back)) << offset;
  }
  // A count far beyond the bytes is refused before anything is made of it.
  std::string huge = bytes;
  huge.replace(0, 8, std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 8));
  EXPECT_FALSE(DecodeBatch(huge, &back));
}

}  // namespace
}  // namespace zorvel::cli
