#include "csv_cells.h"

#include <csv.h>


namespace zorvel::cli {

void AppendCsvCell(std::string* line, std::string_view cell, bool first) {
  if (!first) line->push_back(',');
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    line->append(cell);
    return;
  }
  // At worst every character is a doubled quote, plus the two around it.
  const size_t start = line->size();
  line->resize(start + 2 * cell.size() + 2);
  const size_t written = csv_write(&(*line)[start], 2 * cell.size() + 2, cell.data(), cell.size());
  line->resize(start + written);
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
