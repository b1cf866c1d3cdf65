// The unit of work of a flat-file run: a batch of spells read from the
// extract, and what grouping them produced. Both travel between the reading
// process and its workers as plain byte strings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "row_cells.h"
#include "text_counts.h"

namespace zorvel::cli {

struct SpellRows {
  std::string id;
  std::vector<long> lines;                     // each row's line in the extract
  std::vector<RowCells> rows;  // cells in header order
};

struct SpellBatch {
  std::vector<SpellRows> spells;
  size_t row_count = 0;
};

using Counts = TextCounts;

// Lines of the output files (each complete with its line feed) and counts.
struct BatchResult {
  std::string spells;
  std::string episodes;
  std::string errors;
  std::string unbundled;
  std::string trace;
  std::string responses;  // JSON Lines
  long spell_count = 0;
  long episode_count = 0;
  long succeeded = 0;
  long failed = 0;
  Counts hrgs;      // spells (or episodes) per HRG
  Counts messages;  // errors per message

  // Adds the counts of `other` to these (the texts are not kept: they go
  // to the files as each batch arrives).
  void AddCounts(const BatchResult& other);
  // Empties the lines, keeping the counts.
  void ClearLines();
  // Empties the lines and the counts, keeping their room for the next batch.
  void Reset();
};

std::string EncodeBatch(const SpellBatch& batch);
// False when `bytes` is not a whole encoded batch. The spells of `batch` are
// replaced, in the room the ones before left.
bool DecodeBatch(std::string_view bytes, SpellBatch* batch);

// Appends `result`, encoded, to `out`.
void EncodeResult(const BatchResult& result, std::string* out);
// False when `bytes` is not a whole encoded result. `result` is replaced.
bool DecodeResult(std::string_view bytes, BatchResult* result);

}  // namespace zorvel::cli
