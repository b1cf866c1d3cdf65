// Whole-file decryption and row splitting of table files.
#include "refdata/table_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "refdata/table_arena.h"

namespace zorvel {
namespace {

constexpr size_t kBlock = 8;

// Closes a file descriptor when it goes out of scope.
class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { close(fd_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

}  // namespace

void TableReader::FreeBytes::operator()(uint8_t* bytes) const { FreeLarge(bytes, size); }

TableReader::Bytes TableReader::Allocate(size_t size) {
  return Bytes(static_cast<uint8_t*>(AllocateLarge(size)), FreeBytes{size});
}

bool TableReader::Open(const std::string& path, std::string_view key,
                       const CsvDialect& dialect) {
  cipher_.SetKey(key);
  dialect_ = dialect;
  MarkSpecialBytes();
  size_ = 0;
  pos_ = 0;
  regular_ = false;
  read_whole_ = false;
  lines_passed_ = 0;
  row_line_ = 0;
  // Without O_NONBLOCK, opening a pipe that no one writes to would wait
  // forever; a regular file reads the same either way.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  FileCloser closer(fd);
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return true;
  regular_ = true;
  read_whole_ = ReadWhole(fd, static_cast<size_t>(status.st_size));
  DecryptBuffer(plain_.get(), plain_.get(), size_);
  if (dialect_.skip_header) {
    const size_t end = size_ < kHeaderSearchBytes ? size_ : kHeaderSearchBytes;
    pos_ = end;
    for (size_t i = 0; i < end; ++i) {
      if (plain_[i] == '\n') {
        pos_ = i + 1;
        lines_passed_ = 1;
        break;
      }
    }
  }
  return true;
}

void TableReader::Reserve(size_t file_bytes) {
  if (file_bytes <= SIZE_MAX - kBlock) Grow(file_bytes + kBlock);
}

void TableReader::Grow(size_t bytes) {
  if (bytes <= capacity_) return;
  Bytes larger = Allocate(bytes);
  if (!larger) return;
  plain_ = std::move(larger);
  capacity_ = bytes;
}

bool TableReader::ReadWhole(int fd, size_t expected) {
  // A block more than the size given: the last read then finds the end of
  // the file without growing the buffer, and a file that grew since it was
  // measured is still read to its end. The buffer is not zero-filled: only
  // the bytes read, and the rest of their last block, are ever looked at.
  // A buffer left by an earlier file is read into again when it is large
  // enough.
  if (expected > SIZE_MAX - kBlock) return false;
  Grow(expected + kBlock);
  if (capacity_ < expected + kBlock) return false;
  for (;;) {
    if (capacity_ - size_ < kBlock) {
      if (capacity_ > SIZE_MAX / 2) return false;
      Bytes larger = Allocate(capacity_ * 2);
      if (!larger) return false;
      std::memcpy(larger.get(), plain_.get(), size_);
      plain_ = std::move(larger);
      capacity_ *= 2;
    }
    // Reads stop a block short of the end, so that the last partial block
    // has room to be zero-filled.
    const ssize_t got = read(fd, plain_.get() + size_, capacity_ - kBlock - size_ + 1);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    size_ += static_cast<size_t>(got);
  }
  std::memset(plain_.get() + size_, 0, (kBlock - size_ % kBlock) % kBlock);
  return true;
}

void TableReader::MarkSpecialBytes() {
  for (bool* marks : {special_[0], special_[1]}) {
    std::fill(marks, marks + 256, false);
    marks[static_cast<uint8_t>(dialect_.quote)] = true;
    marks[static_cast<uint8_t>('\n')] = true;
  }
  special_[0][static_cast<uint8_t>(dialect_.delimiter)] = true;
  // The quick split tells the three bytes apart by value.
  plain_rows_ = dialect_.quote != dialect_.delimiter &&
                dialect_.quote != '\n' && dialect_.delimiter != '\n';
}

void TableReader::AddField(size_t begin, size_t end) {
  const std::string_view field(reinterpret_cast<const char*>(plain_.get()) + begin, end - begin);
  if (count_ < fields_.size()) {
    fields_[count_] = field;
  } else {
    fields_.push_back(field);
  }
  ++count_;
}

size_t TableReader::EndRow() {
  fields_.resize(count_);
  return count_;
}

#if defined(__SSE2__)
bool TableReader::ReadPlainRow() {
  const uint8_t* const bytes = plain_.get();
  const size_t size = size_;
  const char delimiter = dialect_.delimiter;
  const __m128i quotes = _mm_set1_epi8(dialect_.quote);
  const __m128i feeds = _mm_set1_epi8('\n');
  const __m128i delimiters = _mm_set1_epi8(delimiter);
  size_t begin = pos_;
  for (size_t pos = pos_; size - pos >= 16; pos += 16) {
    const __m128i block =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
    const __m128i marked = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(block, quotes), _mm_cmpeq_epi8(block, feeds)),
        _mm_cmpeq_epi8(block, delimiters));
    // The marked bytes in order: the row's delimiters, then its line feed;
    // a quote before that sends the row back to be read byte by byte.
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(marked));
         mask != 0; mask &= mask - 1) {
      const size_t at = pos + static_cast<size_t>(__builtin_ctz(mask));
      const char c = static_cast<char>(bytes[at]);
      if (c == delimiter) {
        AddField(begin, at);
        begin = at + 1;
      } else if (c == '\n') {
        AddField(begin, at);
        pos_ = at + 1;
        ++lines_passed_;
        return true;
      } else {
        count_ = 0;
        return false;
      }
    }
  }
  count_ = 0;
  return false;
}
#endif

size_t TableReader::ReadRow() {
  count_ = 0;
  bool in_quotes = false;
  row_line_ = lines_passed_ + 1;
  ended_by_eof_ = false;
#if defined(__SSE2__)
  if (plain_rows_ && ReadPlainRow()) return EndRow();
#endif
  uint8_t* const bytes = plain_.get();
  // The position is kept in a local: stores through the byte pointer could
  // otherwise alias the member and force it back to memory on every byte.
  size_t pos = pos_;
  const size_t size = size_;
  // A field is its bytes without the quote characters: they are closed up
  // in place, each byte of the field moved back to `out`, which never passes
  // the byte being read. A field without quotes stays where it is.
  size_t begin = pos;
  size_t out = pos;
  while (pos < size) {
    // The bytes up to the next quote, line feed or (outside quotes)
    // delimiter belong to the field as they stand: take them in one go.
    const bool* const special = special_[in_quotes ? 1 : 0];
    const size_t start = pos;
    while (pos < size && !special[bytes[pos]]) ++pos;
    if (out != start) std::memmove(bytes + out, bytes + start, pos - start);
    out += pos - start;
    if (pos == size) break;
    const char c = static_cast<char>(bytes[pos++]);
    if (c == '\n') ++lines_passed_;
    if (c == dialect_.quote) {
      in_quotes = !in_quotes;
    } else if (!in_quotes && c == dialect_.delimiter) {
      AddField(begin, out);
      begin = out = pos;
    } else if (!in_quotes && c == '\n') {
      AddField(begin, out);
      pos_ = pos;
      return EndRow();
    } else {
      bytes[out++] = static_cast<uint8_t>(c);
    }
  }
  pos_ = pos;
  ended_by_eof_ = true;
  AddField(begin, out);
  if (fields_[count_ - 1].empty()) count_ = 0;
  return EndRow();
}

}  // namespace zorvel
