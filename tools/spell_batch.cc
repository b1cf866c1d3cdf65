#include "spell_batch.h"

#include <cstring>

namespace zorvel::cli {
namespace {

// Numbers as eight bytes in the machine's own order: both ends are the same
// program on the same machine.
void PutNumber(std::string* out, uint64_t value) {
  out->append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string* out, std::string_view text) {
  PutNumber(out, text.size());
  out->append(text);
}

// A cell's size takes one byte below 255 and nine bytes (255, then the
// size as a number) from there: most cells are a few bytes long, and a batch
// of eight-byte sizes would be mostly sizes.
constexpr unsigned char kLongSize = 255;

size_t SizeBytes(size_t size) { return size < kLongSize ? 1 : 1 + sizeof(uint64_t); }

char* PutNumberAt(char* out, uint64_t value) {
  std::memcpy(out, &value, sizeof value);
  return out + sizeof value;
}

char* PutSizeAt(char* out, uint64_t size) {
  if (size < kLongSize) {
    *out = static_cast<char>(size);
    return out + 1;
  }
  *out = static_cast<char>(kLongSize);
  return PutNumberAt(out + 1, size);
}

char* PutBytesAt(char* out, std::string_view bytes) {
  if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
  return out + bytes.size();
}

class Cursor {
 public:
  explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

  bool Number(uint64_t* value) {
    if (bytes_.size() - at_ < sizeof *value) return false;
    std::memcpy(value, bytes_.data() + at_, sizeof *value);
    at_ += sizeof *value;
    return true;
  }
  bool Count(long* value) {
    uint64_t number;
    if (!Number(&number)) return false;
    *value = static_cast<long>(number);
    return true;
  }
  // The next `size` bytes.
  bool Take(uint64_t size, std::string_view* bytes) {
    if (bytes_.size() - at_ < size) return false;
    *bytes = bytes_.substr(at_, size);
    at_ += size;
    return true;
  }
  // Bytes as PutText writes them: their size as a number, then them.
  bool Text(std::string* text) {
    uint64_t size;
    std::string_view bytes;
    if (!Number(&size) || !Take(size, &bytes)) return false;
    text->assign(bytes);
    return true;
  }
  // A size as PutSizeAt writes it.
  bool Size(uint64_t* size) {
    if (at_ == bytes_.size()) return false;
    const auto first = static_cast<unsigned char>(bytes_[at_++]);
    if (first != kLongSize) {
      *size = first;
      return true;
    }
    return Number(size);
  }
  // Bytes as PutSizeAt and PutBytesAt write them: their size, then them.
  bool Bytes(std::string_view* bytes) {
    uint64_t size;
    return Size(&size) && Take(size, bytes);
  }
  // Bytes not yet read.
  size_t left() const { return bytes_.size() - at_; }
  // A count of items, each at least `item_bytes` long, that fits the rest.
  bool Items(uint64_t* count, size_t item_bytes) {
    return Number(count) && *count <= (bytes_.size() - at_) / item_bytes;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

void PutCounts(std::string* out, const Counts& counts) {
  PutNumber(out, counts.size());
  for (size_t i = 0; i < counts.size(); ++i) {
    PutText(out, counts.Text(i));
    PutNumber(out, static_cast<uint64_t>(counts.Count(i)));
  }
}

bool GetCounts(Cursor& in, Counts* counts) {
  uint64_t size;
  if (!in.Items(&size, 16)) return false;
  for (uint64_t i = 0; i < size; ++i) {
    std::string key;
    long count;
    if (!in.Text(&key) || !in.Count(&count)) return false;
    counts->Add(key, count);
  }
  return true;
}

}  // namespace

void BatchResult::AddCounts(const BatchResult& other) {
  spell_count += other.spell_count;
  episode_count += other.episode_count;
  succeeded += other.succeeded;
  failed += other.failed;
  for (size_t i = 0; i < other.hrgs.size(); ++i) hrgs.Add(other.hrgs.Text(i), other.hrgs.Count(i));
  for (size_t i = 0; i < other.messages.size(); ++i) {
    messages.Add(other.messages.Text(i), other.messages.Count(i));
  }
}

void BatchResult::ClearLines() {
  spells.clear();
  episodes.clear();
  errors.clear();
  unbundled.clear();
  trace.clear();
  responses.clear();
}

void BatchResult::Reset() {
  ClearLines();
  spell_count = episode_count = succeeded = failed = 0;
  hrgs.Clear();
  messages.Clear();
}

std::string EncodeBatch(const SpellBatch& batch) {
  // The size is known before anything is written, so the batch is written
  // in place with one allocation.
  // A row goes as its text whole, then the places of its cells in it, as
  // the row holds them.
  size_t size = sizeof(uint64_t);
  for (const SpellRows& spell : batch.spells) {
    size += 2 * sizeof(uint64_t) + spell.id.size();
    for (const RowCells& row : spell.rows) {
      size += sizeof(uint64_t) + SizeBytes(row.size()) + SizeBytes(row.text().size()) +
              row.text().size() + row.size() * sizeof(RowCells::Span);
    }
  }
  std::string out(size, '\0');
  char* at = PutNumberAt(out.data(), batch.spells.size());
  for (const SpellRows& spell : batch.spells) {
    at = PutNumberAt(at, spell.id.size());
    at = PutBytesAt(at, spell.id);
    at = PutNumberAt(at, spell.rows.size());
    for (size_t i = 0; i < spell.rows.size(); ++i) {
      const RowCells& row = spell.rows[i];
      at = PutNumberAt(at, static_cast<uint64_t>(spell.lines[i]));
      at = PutSizeAt(at, row.size());
      at = PutSizeAt(at, row.text().size());
      at = PutBytesAt(at, row.text());
      at = PutBytesAt(at, std::string_view(reinterpret_cast<const char*>(row.spans().data()),
                                           row.size() * sizeof(RowCells::Span)));
    }
  }
  return out;
}

bool DecodeBatch(std::string_view bytes, SpellBatch* batch) {
  Cursor in(bytes);
  uint64_t spells;
  batch->row_count = 0;
  if (!in.Items(&spells, 16)) return false;
  batch->spells.resize(spells);
  for (SpellRows& spell : batch->spells) {
    uint64_t rows;
    if (!in.Text(&spell.id) || !in.Items(&rows, 9)) return false;
    spell.rows.resize(rows);
    spell.lines.resize(rows);
    for (size_t i = 0; i < rows; ++i) {
      uint64_t cells;
      std::string_view text;
      std::string_view spans;
      if (!in.Count(&spell.lines[i]) || !in.Size(&cells) || !in.Bytes(&text) ||
          cells > in.left() / sizeof(RowCells::Span) ||
          !in.Take(cells * sizeof(RowCells::Span), &spans) ||
          !spell.rows[i].Assign(text, spans.data(), cells)) {
        return false;
      }
    }
    batch->row_count += rows;
  }
  return in.AtEnd();
}

void EncodeResult(const BatchResult& result, std::string* out) {
  for (const std::string* text :
       {&result.spells, &result.episodes, &result.errors, &result.unbundled, &result.trace,
        &result.responses}) {
    PutText(out, *text);
  }
  for (long count : {result.spell_count, result.episode_count, result.succeeded, result.failed}) {
    PutNumber(out, static_cast<uint64_t>(count));
  }
  PutCounts(out, result.hrgs);
  PutCounts(out, result.messages);
}

bool DecodeResult(std::string_view bytes, BatchResult* result) {
  result->Reset();
  Cursor in(bytes);
  for (std::string* text :
       {&result->spells, &result->episodes, &result->errors, &result->unbundled, &result->trace,
        &result->responses}) {
    if (!in.Text(text)) return false;
  }
  for (long* count :
       {&result->spell_count, &result->episode_count, &result->succeeded, &result->failed}) {
    if (!in.Count(count)) return false;
  }
  return GetCounts(in, &result->hrgs) && GetCounts(in, &result->messages) && in.AtEnd();
}

}  // namespace zorvel::cli
