#include "csv_cells.h"

#include <csv.h>

#include <array>
#include <cstring>

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

void AppendCsvCells(std::string* line, const std::vector<std::string_view>& cells) {
  size_t size = 0;
  for (std::string_view cell : cells) {
    if (NeedsQuotes(cell)) {
      for (std::string_view each : cells) AppendCsvCell(line, each);
      return;
    }
    size += 1 + cell.size();
  }
  size_t at = line->size();
  line->resize(at + size);
  char* out = line->data();
  for (std::string_view cell : cells) {
    out[at++] = ',';
    if (!cell.empty()) std::memcpy(out + at, cell.data(), cell.size());
    at += cell.size();
  }
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
