// Reads a CSV file row by row: RFC 4180 quoting (commas, quotes and line
// breaks inside quoted cells), CRLF or LF line ends, a UTF-8 byte-order mark
// skipped, and gzip-compressed input read as it is. Memory stays bounded by
// the longest row, whatever the length of the file.
//
// A row that cannot be read is still returned, with its line number and the
// reason in `fault`, so that the caller can account for every row.
#pragma once

#include <csv.h>
#include <zlib.h>

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "row_cells.h"

namespace zorvel::cli {

struct CsvRow {
  long line = 0;  // the physical line on which the row starts
  RowCells cells;  // of a faulty row, those read before the fault
  std::string fault;  // why the row could not be read; empty when it was
};

class CsvRowReader {
 public:
  // Longest row accepted. A longer one is a fault (most often a quote that
  // was never closed); reading resumes on the line after the one where the
  // limit was passed.
  static constexpr size_t kMaxRowBytes = 1 << 20;

  CsvRowReader();
  CsvRowReader(const CsvRowReader&) = delete;
  CsvRowReader& operator=(const CsvRowReader&) = delete;
  ~CsvRowReader();

  // Opens `path` ("-" for standard input), plain or gzip (known by its
  // first bytes). False with error() set when it cannot be opened.
  bool Open(const std::string& path);

  // The next row; false at the end of the input, or when the input could
  // not be read further (then error() is set).
  bool Next(CsvRow* row);

  // Takes back the cells of a row that is done with, so that a later row
  // fills them rather than allocating its own.
  void Recycle(RowCells&& cells);

  const std::string& error() const { return error_; }

  // The number of cells rows are expected to have (room is made for them).
  void set_width(size_t width) { width_ = width; }

  // Whether a whole line without quotes or stray carriage returns is split
  // at its commas directly rather than fed to the CSV parser (the default).
  // Both read such a line alike; splitting is several times cheaper.
  void set_split_plain_lines(bool split) { split_plain_lines_ = split; }

 private:
  static void OnCell(void* data, size_t size, void* self);
  static void OnRowEnd(int terminator, void* self);

  bool Fill();
  bool ReadRaw(char* data, size_t size, size_t* got);
  bool Inflate(size_t* produced);
  void SkipByteOrderMark();
  void Feed(const char* data, size_t size);
  // Reads a whole line (without its line feed) that holds no quote and no
  // carriage return but a last one; false, with nothing read, otherwise.
  bool SplitPlainLine(const char* data, size_t size);
  void AddCell(const char* text, size_t size);
  void EndRow();
  // Starts current_ afresh, on spare cells when there are any.
  void NewRow();
  void FinishInput();
  void Reject(const std::string& reason);
  void ResetParser();

  int fd_ = -1;
  std::string name_;
  bool gzip_ = false;
  bool gzip_started_ = false;
  bool raw_done_ = false;       // the end of the compressed bytes was read
  bool stream_ended_ = false;   // inflate reached the end of a gzip member
  z_stream stream_{};
  std::vector<char> raw_;  // compressed bytes read, not yet inflated
  csv_parser parser_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool at_start_ = true;
  bool input_done_ = false;
  bool skip_to_line_end_ = false;  // after a fault, until the next line feed
  long line_ = 1;                  // the line now being fed to the parser
  CsvRow current_;                 // the row being assembled
  size_t row_bytes_ = 0;
  size_t width_ = 8;
  bool split_plain_lines_ = true;
  std::deque<CsvRow> ready_;
  std::vector<RowCells> spare_cells_;  // emptied, kept for their room
  std::string error_;
};

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool IsUtf8(const char* text, size_t size);

}  // namespace zorvel::cli
