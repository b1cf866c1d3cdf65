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

// The field strings of the last row are reused, so that their capacity
// serves the next one: a table's rows have the same shape, and a long text
// field then costs no allocation per row.
void TableReader::StartField() {
  if (count_ < fields_.size()) {
    fields_[count_].clear();
  } else {
    fields_.emplace_back();
  }
  ++count_;
}

size_t TableReader::EndRow() {
  fields_.resize(count_);
  return count_;
}

size_t TableReader::ReadRow() {
  count_ = 0;
  StartField();
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
      fields_[count_ - 1].append(reinterpret_cast<const char*>(chunk_) + start,
                                 pos_ - start);
      if (pos_ == fill_) break;
      char c = static_cast<char>(chunk_[pos_++]);
      if (c == '\n') ++lines_passed_;
      if (c == dialect_.quote) {
        in_quotes = !in_quotes;
      } else if (!in_quotes && c == dialect_.delimiter) {
        StartField();
      } else if (!in_quotes && c == '\n') {
        return EndRow();
      } else {
        fields_[count_ - 1].push_back(c);
      }
    }
  }
  ended_by_eof_ = true;
  if (fields_[count_ - 1].empty()) count_ = 0;
  return EndRow();
}

}  // namespace zorvel
