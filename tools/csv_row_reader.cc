#include "csv_row_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

// The parser grows its cell buffer by this much at a time; by its own small
// default a long cell costs a copy of itself every 128 bytes.
constexpr size_t kCellGrowth = 64 * 1024;

void SetUp(csv_parser* parser) {
  csv_init(parser, kOptions);
  csv_set_space_func(parser, NoSpaces);
  csv_set_blk_size(parser, kCellGrowth);
}

// Whether `text` is all ASCII, eight bytes at a time: a byte of 0x80 or
// more sets its top bit.
bool IsAscii(const char* text, size_t size) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, sizeof word);
    any |= word;
  }
  for (; i < size; ++i) any |= static_cast<unsigned char>(text[i]);
  return (any & 0x8080808080808080u) == 0;
}

// Why a row is refused whose cell at `index` is not UTF-8.
std::string NotUtf8(size_t index) {
  return "cell " + std::to_string(index + 1) + " is not valid UTF-8";
}

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

CsvRowReader::CsvRowReader() : buffer_(kBufferSize) { SetUp(&parser_); }

CsvRowReader::~CsvRowReader() {
  csv_free(&parser_);
  if (gzip_started_) inflateEnd(&stream_);
  if (fd_ > STDIN_FILENO) ::close(fd_);
}

bool CsvRowReader::Open(const std::string& path) {
  name_ = path == "-" ? "standard input" : path;
  fd_ = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = "cannot read " + name_ + ": " + std::strerror(errno);
    return false;
  }
  // The first bytes tell gzip from plain text; a pipe may hand them over
  // one at a time.
  size_t have = 0;
  while (have < 2) {
    size_t got = 0;
    if (!ReadRaw(buffer_.data() + have, buffer_.size() - have, &got)) return false;
    if (got == 0) break;
    have += got;
  }
  gzip_ = have >= 2 && static_cast<unsigned char>(buffer_[0]) == 0x1F &&
          static_cast<unsigned char>(buffer_[1]) == 0x8B;
  if (gzip_) {
    raw_.assign(buffer_.begin(), buffer_.begin() + static_cast<long>(have));
    // 16 + MAX_WBITS: a gzip wrapper.
    if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) {
      error_ = "cannot read " + name_ + ": out of memory";
      return false;
    }
    gzip_started_ = true;
    stream_.next_in = reinterpret_cast<Bytef*>(raw_.data());
    stream_.avail_in = static_cast<uInt>(raw_.size());
    end_ = 0;
  } else {
    end_ = have;
    SkipByteOrderMark();
  }
  return true;
}

void CsvRowReader::SkipByteOrderMark() {
  if (!at_start_) return;
  at_start_ = false;
  if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) begin_ = 3;
}

bool CsvRowReader::ReadRaw(char* data, size_t size, size_t* got) {
  for (;;) {
    const ssize_t n = ::read(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = "cannot read " + name_ + " after line " + std::to_string(line_) + ": " +
               std::strerror(errno);
      return false;
    }
    *got = static_cast<size_t>(n);
    return true;
  }
}

bool CsvRowReader::Inflate(size_t* produced) {
  *produced = 0;
  while (*produced == 0) {
    if (stream_.avail_in == 0) {
      if (raw_done_) return true;
      raw_.resize(kBufferSize);
      size_t got = 0;
      if (!ReadRaw(raw_.data(), raw_.size(), &got)) return false;
      raw_done_ = got == 0;
      stream_.next_in = reinterpret_cast<Bytef*>(raw_.data());
      stream_.avail_in = static_cast<uInt>(got);
      if (raw_done_) {
        if (!stream_ended_) {
          error_ = "the gzip data ends early after line " + std::to_string(line_) +
                   " (is the file cut short?)";
          return false;
        }
        return true;
      }
    }
    if (stream_ended_) {
      // Another gzip member follows, as in files that were concatenated.
      inflateReset(&stream_);
      stream_ended_ = false;
    }
    stream_.next_out = reinterpret_cast<Bytef*>(buffer_.data());
    stream_.avail_out = static_cast<uInt>(buffer_.size());
    const int status = inflate(&stream_, Z_NO_FLUSH);
    *produced = buffer_.size() - stream_.avail_out;
    if (status == Z_STREAM_END) {
      stream_ended_ = true;
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      error_ = "the gzip data is damaged after line " + std::to_string(line_) + " (" +
               (stream_.msg != nullptr ? stream_.msg : "inflate failed") + ")";
      return false;
    }
  }
  return true;
}

bool CsvRowReader::Fill() {
  begin_ = 0;
  end_ = 0;
  size_t got = 0;
  if (gzip_ ? !Inflate(&got) : !ReadRaw(buffer_.data(), buffer_.size(), &got)) return false;
  end_ = got;
  SkipByteOrderMark();
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
    } else if (line_feed == nullptr || parser_.pstate != kRowNotBegun ||
               !SplitPlainLine(segment, size - 1)) {
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

bool CsvRowReader::SplitPlainLine(const char* data, size_t size) {
  if (!split_plain_lines_) return false;
  if (size > 0 && data[size - 1] == '\r') --size;
  if (std::memchr(data, '"', size) != nullptr || std::memchr(data, '\r', size) != nullptr) {
    return false;
  }
  // A blank line is no row, as the parser has it.
  if (size == 0) return true;
  current_.line = line_;
  RowCells& cells = current_.cells;
  cells.reserve(width_);
  cells.AssignSplitAtCommas(std::string_view(data, size));
  // ASCII is UTF-8 throughout, so its cells need no check.
  if (!IsAscii(data, size)) {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (!IsUtf8(cells[i].data(), cells[i].size())) {
        current_.fault = NotUtf8(i);
        break;
      }
    }
  }
  EndRow();
  return true;
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
  NewRow();
  ResetParser();
}

void CsvRowReader::ResetParser() {
  csv_free(&parser_);
  SetUp(&parser_);
}

void CsvRowReader::OnCell(void* data, size_t size, void* self) {
  static_cast<CsvRowReader*>(self)->AddCell(size == 0 ? "" : static_cast<const char*>(data),
                                            size);
}

void CsvRowReader::OnRowEnd(int, void* self) { static_cast<CsvRowReader*>(self)->EndRow(); }

void CsvRowReader::AddCell(const char* text, size_t size) {
  CsvRow& row = current_;
  if (row.fault.empty() && !IsUtf8(text, size)) row.fault = NotUtf8(row.cells.size());
  if (row.cells.empty()) row.cells.reserve(width_);
  row.cells.push_back(std::string_view(text, size));
}

void CsvRowReader::EndRow() {
  ready_.push_back(std::move(current_));
  NewRow();
  row_bytes_ = 0;
}

void CsvRowReader::NewRow() {
  current_ = CsvRow();
  if (!spare_cells_.empty()) {
    current_.cells = std::move(spare_cells_.back());
    spare_cells_.pop_back();
  }
}

void CsvRowReader::Recycle(RowCells&& cells) {
  // A batch's worth of rows; more would only hold memory.
  constexpr size_t kMaxSpareRows = 2048;
  if (spare_cells_.size() >= kMaxSpareRows) return;
  cells.clear();
  spare_cells_.push_back(std::move(cells));
}

}  // namespace zorvel::cli
