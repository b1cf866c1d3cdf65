#include "csv_row_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorvel::cli {
namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr unsigned char kOptions = CSV_STRICT | CSV_STRICT_FINI;

// The parser's states between and inside cells (its own numbering).
constexpr int kRowNotBegun = 0;
constexpr int kCellBegun = 2;
constexpr int kCellMightHaveEnded = 3;

// Spaces are part of a cell: nothing is trimmed.
int NoSpaces(unsigned char) { return 0; }

}  // namespace

bool IsUtf8(const char* text, size_t size) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < size) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;   // overlong
      if (c == 0xED) high = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;   // overlong
      if (c == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (size - i < length || s[i + 1] < low || s[i + 1] > high) return false;
    for (size_t k = 2; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

CsvRowReader::CsvRowReader() : buffer_(kBufferSize) {
  csv_init(&parser_, kOptions);
  csv_set_space_func(&parser_, NoSpaces);
}

CsvRowReader::~CsvRowReader() {
  csv_free(&parser_);
  if (file_ != nullptr) gzclose(file_);
}

bool CsvRowReader::Open(const std::string& path) {
  if (path == "-") {
    const int fd = dup(STDIN_FILENO);
    file_ = fd < 0 ? nullptr : gzdopen(fd, "rb");
    if (file_ == nullptr && fd >= 0) close(fd);
  } else {
    file_ = gzopen(path.c_str(), "rb");
  }
  if (file_ == nullptr) {
    error_ = std::string("cannot read ") + (path == "-" ? "standard input" : path) + ": " +
             std::strerror(errno != 0 ? errno : ENOMEM);
    return false;
  }
  gzbuffer(file_, kBufferSize);
  return true;
}

bool CsvRowReader::Fill() {
  begin_ = 0;
  const int got = gzread(file_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
  if (got < 0) {
    int code = 0;
    const char* message = gzerror(file_, &code);
    error_ = std::string("the input is damaged or could not be read after line ") +
             std::to_string(line_) + ": " +
             (code == Z_ERRNO ? std::strerror(errno) : message);
    end_ = 0;
    return false;
  }
  end_ = static_cast<size_t>(got);
  if (at_start_) {
    at_start_ = false;
    if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) begin_ = 3;
  }
  return end_ > 0;
}

bool CsvRowReader::Next(CsvRow* row) {
  while (ready_.empty()) {
    if (input_done_ || !error_.empty()) return false;
    if (begin_ == end_ && !Fill()) {
      if (!error_.empty()) return false;
      FinishInput();
      input_done_ = true;
      continue;
    }
    const char* segment = buffer_.data() + begin_;
    const auto* line_feed =
        static_cast<const char*>(std::memchr(segment, '\n', end_ - begin_));
    const size_t size = line_feed != nullptr ? static_cast<size_t>(line_feed - segment) + 1
                                              : end_ - begin_;
    begin_ += size;
    if (skip_to_line_end_) {
      if (line_feed != nullptr) skip_to_line_end_ = false;
    } else {
      Feed(segment, size);  // sets skip_to_line_end_ when it gave up mid-line
    }
    if (line_feed != nullptr) ++line_;
  }
  *row = std::move(ready_.front());
  ready_.pop_front();
  return true;
}

void CsvRowReader::Feed(const char* data, size_t size) {
  if (parser_.pstate == kRowNotBegun) {
    current_.line = line_;
    row_bytes_ = 0;
  }
  row_bytes_ += size;
  const bool whole_line = size > 0 && data[size - 1] == '\n';
  const size_t parsed = csv_parse(&parser_, data, size, OnCell, OnRowEnd, this);
  if (parsed < size) {
    if (parser_.pstate == kCellBegun && parser_.quoted == 0) {
      Reject("a quote inside a cell that does not begin with one");
    } else if (parser_.pstate == kCellMightHaveEnded) {
      Reject("text after the closing quote of a cell");
    } else {
      Reject(csv_strerror(csv_error(&parser_)));
    }
    skip_to_line_end_ = !whole_line;
  } else if (parser_.pstate != kRowNotBegun && row_bytes_ > kMaxRowBytes) {
    Reject("the row is longer than " + std::to_string(kMaxRowBytes) +
           " bytes (is a quoted cell not closed?)");
    skip_to_line_end_ = !whole_line;
  }
}

void CsvRowReader::FinishInput() {
  if (csv_fini(&parser_, OnCell, OnRowEnd, this) != 0) {
    Reject("a quoted cell is not closed at the end of the file");
  }
}

void CsvRowReader::Reject(const std::string& reason) {
  // The cells read before the fault stay with the row: its spell id is
  // most often among them.
  CsvRow rejected = std::move(current_);
  rejected.fault = reason;
  ready_.push_back(std::move(rejected));
  current_ = CsvRow();
  ResetParser();
}

void CsvRowReader::ResetParser() {
  csv_free(&parser_);
  csv_init(&parser_, kOptions);
  csv_set_space_func(&parser_, NoSpaces);
}

void CsvRowReader::OnCell(void* data, size_t size, void* self) {
  auto* reader = static_cast<CsvRowReader*>(self);
  CsvRow& row = reader->current_;
  const char* text = size == 0 ? "" : static_cast<const char*>(data);
  if (row.fault.empty() && !IsUtf8(text, size)) {
    row.fault = "cell " + std::to_string(row.cells.size() + 1) + " is not valid UTF-8";
  }
  row.cells.emplace_back(text, size);
}

void CsvRowReader::OnRowEnd(int, void* self) {
  auto* reader = static_cast<CsvRowReader*>(self);
  reader->ready_.push_back(std::move(reader->current_));
  reader->current_ = CsvRow();
  reader->row_bytes_ = 0;
}

}  // namespace zorvel::cli
