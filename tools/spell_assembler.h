// Joins the rows of a flat file into spells: consecutive rows with the same
// spell id form one spell, in row order. Every row ends either in a spell
// handed on for grouping or in a rejection with its reason:
//  - a row that could not be read is rejected; when its spell id can be
//    read, its whole spell is rejected with it (a spell grouped without one
//    of its episodes would get a wrong HRG); when it cannot, the spell in
//    progress is rejected, since the row may belong to it;
//  - a spell id that comes back after other spells is never merged: the
//    returning rows are rejected, naming the line where the id was first
//    seen;
//  - a spell of more rows than any mode accepts is rejected, and its rows
//    are not kept, so that memory stays bounded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "csv_row_reader.h"
#include "seen_spell_ids.h"
#include "spell_batch.h"

namespace zorvel::cli {

struct RejectedRow {
  long line = 0;
  std::string spell_id;
  std::string reason;
};

class SpellAssembler {
 public:
  using OnSpell = std::function<void(SpellRows&& spell)>;
  using OnReject = std::function<void(RejectedRow&& row)>;

  // Spells of more rows than this are rejected.
  static constexpr size_t kMaxRows = 10000;

  SpellAssembler(OnSpell on_spell, OnReject on_reject);

  // A row as the reader gave it: checked against the header's `width`, its
  // spell id taken from cell `spell_column` (when negative, the row is a
  // spell of its own, numbered `ordinal`), then added or rejected.
  void AddRow(CsvRow&& row, size_t width, int spell_column, long ordinal);
  // A row that was read, of spell `id`.
  void Add(long line, const std::string& id, RowCells&& cells);
  // A row that could not be read, for `reason`; `id` is nullptr when its
  // spell id could not be read either (or is empty).
  void AddFaulty(long line, const std::string* id, const std::string& reason);
  // Hands on the last spell.
  void Finish();
  // Rejects the spell in progress for `reason` (the input broke off in it).
  void Abandon(const std::string& reason);
  // Takes back a spell that was handed on and is done with, to build a
  // later spell in its room.
  void Recycle(SpellRows&& spell);

 private:
  struct Entry {
    long line;
    std::string fault;  // why this row itself could not be read
    bool own_id = true;   // whether its spell id was read
  };

  // Ends the spell in progress and starts spell `id` at `line`.
  void Start(long line, const std::string& id);
  void Close();
  void Poison(const std::string& reason);

  OnSpell on_spell_;
  OnReject on_reject_;
  bool open_ = false;
  SpellRows spell_;
  std::vector<SpellRows> spare_;  // emptied spells, kept for their room
  std::vector<Entry> entries_;  // every row of the spell in progress
  std::string poison_;          // why the spell in progress is rejected
  SeenSpellIds seen_;
};

}  // namespace zorvel::cli
