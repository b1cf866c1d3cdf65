// Chunked decryption and row splitting of table files.
#include "refdata/table_reader.h"

namespace zorvel {

static_assert(TableReader::kChunkSize % 8 == 0,
              "a chunk must hold whole cipher blocks");

bool TableReader::Open(const std::string& path, std::string_view key,
                       const CsvDialect& dialect) {
  cipher_.SetKey(key);
  stream_.open(path, std::ios::in | std::ios::binary);
  dialect_ = dialect;
  pos_ = 0;
  fill_ = 0;
  last_read_full_ = true;
  lines_passed_ = 0;
  row_line_ = 0;
  if (!stream_.is_open() || stream_.fail()) return false;
  if (dialect_.skip_header && ReadChunk()) {
    // Only the first chunk is searched: a header longer than a chunk takes
    // the whole chunk with it.
    pos_ = fill_;
    for (size_t i = 0; i < fill_; ++i) {
      if (chunk_[i] == '\n') {
        pos_ = i + 1;
        lines_passed_ = 1;
        break;
      }
    }
  }
  return true;
}

bool TableReader::ReadChunk() {
  pos_ = 0;
  fill_ = 0;
  if (!stream_.good()) {
    last_read_full_ = false;
    return false;
  }
  stream_.read(reinterpret_cast<char*>(chunk_), kChunkSize);
  std::streamsize got = stream_.gcount();
  fill_ = got > 0 ? static_cast<size_t>(got) : 0;
  last_read_full_ = fill_ == kChunkSize;
  if (fill_ > 0) DecryptBuffer(chunk_, chunk_, fill_);
  return fill_ > 0;
}

bool TableReader::IsSpecial(uint8_t byte, bool in_quotes) const {
  const char c = static_cast<char>(byte);
  return c == dialect_.quote || c == '\n' ||
         (!in_quotes && c == dialect_.delimiter);
}

size_t TableReader::ReadRow() {
  fields_.clear();
  fields_.emplace_back();
  bool in_quotes = false;
  row_line_ = lines_passed_ + 1;
  ended_by_eof_ = false;
  for (;;) {
    if (pos_ == fill_) {
      // A short read marks the end of the file once its bytes are used up.
      if (!last_read_full_ || !ReadChunk()) break;
    }
    while (pos_ < fill_) {
      // The bytes up to the next quote, line feed or (outside quotes)
      // delimiter belong to the field as they stand: take them in one go.
      const size_t start = pos_;
      while (pos_ < fill_ && !IsSpecial(chunk_[pos_], in_quotes)) ++pos_;
      fields_.back().append(reinterpret_cast<const char*>(chunk_) + start,
                            pos_ - start);
      if (pos_ == fill_) break;
      char c = static_cast<char>(chunk_[pos_++]);
      if (c == '\n') ++lines_passed_;
      if (c == dialect_.quote) {
        in_quotes = !in_quotes;
      } else if (!in_quotes && c == dialect_.delimiter) {
        fields_.emplace_back();
      } else if (!in_quotes && c == '\n') {
        return fields_.size();
      } else {
        fields_.back().push_back(c);
      }
    }
  }
  ended_by_eof_ = true;
  if (fields_.back().empty()) fields_.clear();
  return fields_.size();
}

}  // namespace zorvel
