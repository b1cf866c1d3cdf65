#include "csv_cells.h"

#include <csv.h>

#include <array>

namespace zorvel::cli {
namespace {

// The bytes that make a cell need quoting.
constexpr std::array<bool, 256> kNeedsQuotes = [] {
  std::array<bool, 256> needs{};
  for (unsigned char c : {',', '"', '\r', '\n'}) needs[c] = true;
  return needs;
}();

bool NeedsQuotes(std::string_view cell) {
  for (char c : cell) {
    if (kNeedsQuotes[static_cast<unsigned char>(c)]) return true;
  }
  return false;
}

}  // namespace

void AppendCsvCell(std::string* line, std::string_view cell, bool first) {
  if (!first) line->push_back(',');
  if (!NeedsQuotes(cell)) {
    line->append(cell);
    return;
  }
  // At worst every character is a doubled quote, plus the two around it.
  const size_t start = line->size();
  line->resize(start + 2 * cell.size() + 2);
  const size_t written = csv_write(&(*line)[start], 2 * cell.size() + 2, cell.data(), cell.size());
  line->resize(start + written);
}

void AppendCsvRow(std::string* text, const std::vector<std::string_view>& cells) {
  // Cells are short and seldom need quotes: each is copied a byte at a time
  // as it is checked, and the line is written again, quoted, only when one
  // does. A comma goes before every cell but the first, a line feed after
  // the last (one byte either way).
  const size_t start = text->size();
  size_t size = cells.empty() ? 1 : cells.size();
  for (std::string_view cell : cells) size += cell.size();
  text->resize(start + size);
  char* out = text->data() + start;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i != 0) *out++ = ',';
    for (const char c : cells[i]) {
      if (kNeedsQuotes[static_cast<unsigned char>(c)]) {
        text->resize(start);
        for (size_t k = 0; k < cells.size(); ++k) AppendCsvCell(text, cells[k], k == 0);
        text->push_back('\n');
        return;
      }
      *out++ = c;
    }
  }
  *out = '\n';
}

void AppendCsvLine(std::string* text, std::initializer_list<std::string_view> cells) {
  bool first = true;
  for (std::string_view cell : cells) {
    AppendCsvCell(text, cell, first);
    first = false;
  }
  text->push_back('\n');
}

}  // namespace zorvel::cli
