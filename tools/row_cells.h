// The cells of one row of a flat file, kept in one text with the place of
// each cell in it. A row of fifty cells is then one piece of memory rather
// than fifty strings: a plain line is taken whole, with its commas, and
// travels to a worker as it is.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::cli {

class RowCells {
 public:
  RowCells() = default;
  RowCells(std::initializer_list<std::string_view> cells);

  size_t size() const { return spans_.size(); }
  bool empty() const { return spans_.empty(); }
  std::string_view operator[](size_t index) const {
    const Span& span = spans_[index];
    return std::string_view(text_.data() + span.begin, span.end - span.begin);
  }

  // Adds a cell after the others.
  void push_back(std::string_view cell);
  // Takes `line` as the text of the row and each run of it between commas
  // as a cell: a line without quotes.
  void AssignSplitAtCommas(std::string_view line);
  // Forgets the cells, keeping their room for the next row.
  void clear();
  // Makes room for `cells` cells.
  void reserve(size_t cells) { spans_.reserve(cells); }

  // The row's text and the place of each cell in it, in order, for sending
  // the row elsewhere whole; Assign makes a row of them again.
  struct Span {
    uint32_t begin;
    uint32_t end;
  };
  std::string_view text() const { return text_; }
  const std::vector<Span>& spans() const { return spans_; }
  // Takes `text` and the `count` places at `spans` (as spans() holds them,
  // byte for byte). False, leaving no cells, when a place does not lie
  // within the text after the place before it.
  bool Assign(std::string_view text, const char* spans, size_t count);

  std::vector<std::string> ToStrings() const;
  bool operator==(const RowCells& other) const;

 private:
  std::string text_;
  std::vector<Span> spans_;
};

}  // namespace zorvel::cli
