// Reads the rows of one encrypted table file: the file is decrypted chunk by
// chunk and split into rows and fields by a small CSV dialect (delimiter and
// quote character, no escapes, quotes toggled anywhere, carriage returns kept).
// A TableReader is made for one file, read to its end and thrown away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "refdata/blowfish_cipher.h"

namespace zorvel {

// The key of every table file, all 14 characters taken as bytes.
inline constexpr std::string_view kTableKey = "K_4826tamarisk";

// How a table file is split.
struct CsvDialect {
  bool skip_header = false;  // the first line is a header and is skipped
  char delimiter = ',';
  char quote = '"';
};

class TableReader {
 public:
  static constexpr size_t kChunkSize = 4096;

  TableReader() = default;
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  // Keys the cipher with `key` (always, even when the file is absent), opens
  // `path` for binary reading and, when the dialect says so, skips the header:
  // the first chunk is read and everything up to its first line feed passed
  // over (the whole chunk when it holds none). Returns false when the file
  // cannot be opened.
  bool Open(const std::string& path, std::string_view key,
            const CsvDialect& dialect);

  // Reads the next row and returns its field count. At the end of the file a
  // last row without a line feed is returned unless its last field is empty;
  // then, and when nothing is left, the count is 0 and there are no fields.
  size_t ReadRow();

  // The fields of the row just read, in order.
  const std::vector<std::string>& fields() const { return fields_; }
  const std::string& field(size_t i) const { return fields_[i]; }

  // The 1-based line of the file on which the row just read begins (a header
  // line counts).
  int line() const { return row_line_; }
  // True when the row just read was ended by the end of the file rather than
  // by a line feed.
  bool ended_by_eof() const { return ended_by_eof_; }

  // Decrypts ceil(n / 8) blocks of `in` into `out`; see BlowfishCipher.
  void DecryptBuffer(const uint8_t* in, uint8_t* out, size_t n) const {
    cipher_.DecryptBuffer(in, out, n);
  }

 private:
  // Reads and decrypts the next chunk; false when no byte was obtained.
  bool ReadChunk();
  // True when `byte` ends a run of plain field bytes: a quote, a line feed,
  // or a delimiter outside quotes.
  bool IsSpecial(uint8_t byte, bool in_quotes) const;
  // Begins the next field of the row; ends the row, returning its count.
  void StartField();
  size_t EndRow();

  BlowfishCipher cipher_;
  std::ifstream stream_;
  CsvDialect dialect_;
  // The last partial block of a short chunk decrypts whatever follows the
  // bytes read; the buffer is a whole number of blocks, so it stays inside.
  uint8_t chunk_[kChunkSize] = {};
  size_t pos_ = 0;
  size_t fill_ = 0;
  bool last_read_full_ = true;
  std::vector<std::string> fields_;
  size_t count_ = 0;  // fields of the row being read
  int lines_passed_ = 0;
  int row_line_ = 0;
  bool ended_by_eof_ = false;
};

}  // namespace zorvel
