#include "row_cells.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel::cli {

RowCells::RowCells(std::initializer_list<std::string_view> cells) {
  for (std::string_view cell : cells) push_back(cell);
}

void RowCells::push_back(std::string_view cell) {
  const auto begin = static_cast<uint32_t>(text_.size());
  text_.append(cell);
  spans_.push_back({begin, static_cast<uint32_t>(text_.size())});
}

void RowCells::AssignSplitAtCommas(std::string_view line) {
  text_.assign(line);
  spans_.clear();
  const char* const data = text_.data();
  const auto size = static_cast<uint32_t>(text_.size());
  uint32_t begin = 0;
  uint32_t at = 0;
#if defined(__SSE2__)
  // Cells are a few bytes long: sixteen bytes are looked at together, and
  // each comma among them ends a cell.
  const __m128i comma = _mm_set1_epi8(',');
  for (; at + 16 <= size; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, comma)));
    while (mask != 0) {
      const uint32_t end = at + static_cast<uint32_t>(__builtin_ctz(mask));
      spans_.push_back({begin, end});
      begin = end + 1;
      mask &= mask - 1;
    }
  }
#endif
  for (; at < size; ++at) {
    if (data[at] != ',') continue;
    spans_.push_back({begin, at});
    begin = at + 1;
  }
  spans_.push_back({begin, size});
}

void RowCells::clear() {
  text_.clear();
  spans_.clear();
}

bool RowCells::Assign(std::string_view text, const char* spans, size_t count) {
  text_.assign(text);
  spans_.resize(count);
  if (count != 0) std::memcpy(spans_.data(), spans, count * sizeof(Span));
  uint32_t after = 0;
  bool fits = true;
  for (const Span& span : spans_) {
    fits &= span.begin >= after && span.end >= span.begin;
    after = span.end;
  }
  if (fits && after <= text_.size()) return true;
  spans_.clear();
  return false;
}

std::vector<std::string> RowCells::ToStrings() const {
  std::vector<std::string> cells;
  cells.reserve(size());
  for (size_t i = 0; i < size(); ++i) cells.emplace_back((*this)[i]);
  return cells;
}

bool RowCells::operator==(const RowCells& other) const {
  if (size() != other.size()) return false;
  for (size_t i = 0; i < size(); ++i) {
    if ((*this)[i] != other[i]) return false;
  }
  return true;
}

}  // namespace zorvel::cli
