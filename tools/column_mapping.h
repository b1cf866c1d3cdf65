// How the columns of a CSV extract fill the fields of a mode's requests.
//
// A column named as an input field fills it. An array field is filled by
// numbered columns FIELD_1, FIELD_2, ... (any width of number, taken in the
// order of their numbers) or by one column named as the field whose cell
// lists the codes separated by ";". A column map names the field (and for an
// array, the position) of a user's own columns, such as DIAG_01. Empty cells
// fill nothing; trailing empty positions of an array are dropped.
#pragma once


#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mode_schema.h"
#include "row_cells.h"

namespace zorvel::cli {

// One line of a column map: the extract's column, the field it fills and,
// for an array field, its position (0 when the cell holds the whole list).
struct ColumnMapEntry {
  long line = 0;
  std::string column;
  std::string field;
  long position = 0;
};

// Reads a column map file: a CSV with the header "column,field" or
// "column,field,position". False with `*error` set when it cannot be read.
bool ReadColumnMap(const std::string& path, std::vector<ColumnMapEntry>* entries,
                   std::string* error);

class ColumnMapping {
 public:
  // Maps `header` onto the inputs of `mode`. The column named
  // `spell_column` holds the spell's id. False with error() set when two
  // columns fill the same place, or the map gives a single field positions.
  bool Build(const ModeSchema& mode, const std::vector<std::string>& header,
             const std::string& spell_column, const std::vector<ColumnMapEntry>& map);

  // The index of the spell column; -1 when the header has none.
  int spell_column() const { return spell_column_; }
  // The header's columns that fill nothing, in header order.
  const std::vector<std::string>& unused() const { return unused_; }
  // The map's columns that the header lacks.
  const std::vector<std::string>& missing() const { return missing_; }
  const std::string& error() const { return error_; }

  // Makes every request ask for the steps of its grouping ("Trace": true).
  void set_trace(bool trace) { trace_ = trace; }

  // The request for a spell of `rows` (cells in header order), as compact
  // JSON, byte for byte as RapidJSON's writer writes it. It is written at
  // the start of `*room`, followed by a NUL; the room only grows, and serves
  // the next request. An episode without an "Id" column gets its position in
  // the spell, from 1.
  std::string_view WriteRequest(const std::string& spell_id,
                                const std::vector<const RowCells*>& rows,
                                std::string* room) const;

  // The episode id the request gives row `index` (from 0) of a spell.
  std::string EpisodeId(const RowCells& row, size_t index) const;

  // Where one field of the request comes from.
  struct Slot {
    // Keys up to this long are also kept in a block of this size, which is
    // copied whole (two moves, not a call) and the text then taken back.
    static constexpr size_t kShortKey = 32;
    std::string name;
    std::string key;  // the name as the request writes it: "name":
    std::array<char, kShortKey> short_key{};  // key, when it fits
    bool is_array = false;
    int column = -1;                             // a value, or an array's whole list
    std::vector<std::pair<long, int>> numbered;  // an array's (number, column)s
  };

 private:
  bool Claim(Slot& slot, int column, const std::vector<std::string>& header);
  bool OrderPositions(Slot& slot, const std::vector<std::string>& header);

  std::string mode_;
  int spell_column_ = -1;
  int episode_id_column_ = -1;   // the column of the episodes' "Id", if any
  bool number_episodes_ = false;  // "Id" is an input no column fills
  std::vector<Slot> spell_slots_;
  std::vector<Slot> episode_slots_;
  std::vector<std::string> unused_;
  std::vector<std::string> missing_;
  std::string error_;
  bool trace_ = false;
};

}  // namespace zorvel::cli
