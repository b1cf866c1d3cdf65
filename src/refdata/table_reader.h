// Reads the rows of one encrypted table file: the file is read whole into one
// buffer, decrypted there in one pass and split into rows and fields by a
// small CSV dialect (delimiter and quote character, no escapes, quotes
// toggled anywhere, carriage returns kept). A TableReader reads one file at a
// time, each Open starting a new one; its buffer is kept from file to file
// while it is large enough.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
  // A header is looked for in the first kHeaderSearchBytes bytes only: a
  // longer one takes those bytes with it and the rest reads as a row.
  static constexpr size_t kHeaderSearchBytes = 4096;

  TableReader() = default;
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  // Keys the cipher with `key` (always, even when the file is absent), opens
  // `path` and, when it is a regular file, reads and decrypts it whole and,
  // when the dialect says so, skips the header: everything up to the first
  // line feed within the first kHeaderSearchBytes bytes is passed over (all
  // of them when they hold none). Anything else that opens (a folder, a
  // device, a pipe) is not read at all and reads as no rows. Returns false
  // when `path` cannot be opened.
  bool Open(const std::string& path, std::string_view key,
            const CsvDialect& dialect);

  // Makes room for a file of up to `file_bytes` bytes, so that the files
  // read next need no larger buffer. Only a saving: when there is no room,
  // Open finds out.
  void Reserve(size_t file_bytes);

  // Reads the next row and returns its field count. At the end of the file a
  // last row without a line feed is returned unless its last field is empty;
  // then, and when nothing is left, the count is 0 and there are no fields.
  size_t ReadRow();

  // The fields of the row just read, in order. They view the reader's
  // buffer, where a quoted field has been closed up over its quote
  // characters, and last until the next ReadRow.
  const std::vector<std::string_view>& fields() const { return fields_; }
  std::string_view field(size_t i) const { return fields_[i]; }

  // The 1-based line of the file on which the row just read begins (a header
  // line counts).
  int line() const { return row_line_; }
  // True when the row just read was ended by the end of the file rather than
  // by a line feed.
  bool ended_by_eof() const { return ended_by_eof_; }

  // What Open found: whether the path is a regular file, whether it was read
  // to its end, and its decrypted bytes, as many as the file holds (a last
  // partial block is decrypted as if zero-filled). The bytes are as the file
  // holds them until the first ReadRow, which unquotes fields in place.
  bool regular() const { return regular_; }
  bool read_whole() const { return read_whole_; }
  std::string_view plain() const {
    return {reinterpret_cast<const char*>(plain_.get()), size_};
  }

  // Decrypts ceil(n / 8) blocks of `in` into `out`; see BlowfishCipher.
  void DecryptBuffer(const uint8_t* in, uint8_t* out, size_t n) const {
    cipher_.DecryptBuffer(in, out, n);
  }

 private:
  // Replaces the buffer by one of `bytes` bytes when it is smaller; keeps it
  // when there is no room.
  void Grow(size_t bytes);
  // Reads the regular file open as `fd` into plain_; false on a read error.
  bool ReadWhole(int fd, size_t expected);
  // Marks the bytes that end a run of plain field bytes: a quote, a line
  // feed, or (outside quotes only) a delimiter.
  void MarkSpecialBytes();
  // Adds the bytes [begin, end) of the buffer as the row's next field; ends
  // the row, returning its field count.
  void AddField(size_t begin, size_t end);
  size_t EndRow();
  // Reads the row at pos_ when it ends in a line feed, holds no quote and
  // lies at least sixteen bytes before the end of the buffer, sixteen bytes
  // at a time; otherwise leaves everything as it was and returns false, for
  // ReadRow to read the row byte by byte.
  bool ReadPlainRow();

  BlowfishCipher cipher_;
  CsvDialect dialect_;
  // special_[in_quotes][byte]: whether `byte` ends a run of field bytes.
  bool special_[2][256] = {};
  // Whether the dialect's quote, delimiter and line feed differ, as
  // ReadPlainRow needs.
  bool plain_rows_ = false;
  // The file's bytes, decrypted in place, with room for the rest of a last
  // partial block; null before a regular file is read.
  struct FreeBytes {
    size_t size;  // as given to AllocateLarge
    void operator()(uint8_t* bytes) const;
  };
  using Bytes = std::unique_ptr<uint8_t[], FreeBytes>;
  // Room for `size` bytes (AllocateLarge); null when there is none. A large
  // buffer is laid out for huge pages, so that filling it takes a few page
  // faults rather
  // than one per 4 KiB.
  static Bytes Allocate(size_t size);
  Bytes plain_;
  size_t capacity_ = 0;  // bytes plain_ has room for
  size_t size_ = 0;  // bytes read from the file
  size_t pos_ = 0;
  bool regular_ = false;
  bool read_whole_ = false;
  std::vector<std::string_view> fields_;
  size_t count_ = 0;  // fields of the row being read
  int lines_passed_ = 0;
  int row_line_ = 0;
  bool ended_by_eof_ = false;
};

}  // namespace zorvel
