// Writing CSV lines: a cell is written as it is unless it holds a comma, a
// quote or a line break, when it is quoted (with its quotes doubled).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::cli {

// Appends `cell` to `*line`, preceded by a comma unless it is the line's
// first cell (`first`).
void AppendCsvCell(std::string* line, std::string_view cell, bool first = false);

// Appends a whole line of `cells` and its line feed: one resize for the lot
// when no cell needs quoting, as most do not.
void AppendCsvRow(std::string* text, const std::vector<std::string_view>& cells);

// Appends a whole line of `cells` and its line feed.
void AppendCsvLine(std::string* text, std::initializer_list<std::string_view> cells);

}  // namespace zorvel::cli
