#include "spell_assembler.h"

#include <string_view>

namespace zorvel::cli {

SpellAssembler::SpellAssembler(OnSpell on_spell, OnReject on_reject)
    : on_spell_(std::move(on_spell)), on_reject_(std::move(on_reject)) {}

void SpellAssembler::Start(long line, const std::string& id) {
  Close();
  open_ = true;
  spell_.id = id;
  const long first = seen_.FirstLine(id, line);
  if (first != 0) {
    Poison("the spell id " + id + " comes back after other spells (first seen at line " +
           std::to_string(first) + "); its rows are not merged");
  }
}

void SpellAssembler::AddRow(CsvRow&& row, size_t width, int spell_column, long ordinal) {
  std::string fault = row.fault;
  if (fault.empty() && row.cells.size() != width) {
    fault = std::to_string(row.cells.size()) + " cells where the header has " +
            std::to_string(width);
  }
  std::string id_text;
  const std::string* id = nullptr;
  if (spell_column < 0) {
    id_text = std::to_string(ordinal);
    id = &id_text;
  } else if (static_cast<size_t>(spell_column) < row.cells.size() &&
             !row.cells[static_cast<size_t>(spell_column)].empty()) {
    id_text = row.cells[static_cast<size_t>(spell_column)];
    id = &id_text;
  } else if (fault.empty()) {
    fault = "the spell id is empty";
  }
  if (!fault.empty()) {
    AddFaulty(row.line, id, fault);
  } else {
    Add(row.line, id_text, std::move(row.cells));
  }
}

void SpellAssembler::Add(long line, const std::string& id, RowCells&& cells) {
  if (!open_ || id != spell_.id) Start(line, id);
  entries_.push_back({line, "", true});
  if (poison_.empty() && entries_.size() > kMaxRows) {
    Poison("the spell has more than " + std::to_string(kMaxRows) + " rows");
  }
  if (!poison_.empty()) return;
  spell_.lines.push_back(line);
  spell_.rows.push_back(std::move(cells));
}

void SpellAssembler::AddFaulty(long line, const std::string* id, const std::string& reason) {
  if (id != nullptr && (!open_ || *id != spell_.id)) Start(line, *id);
  if (!open_) {
    on_reject_({line, "", reason});
    return;
  }
  entries_.push_back({line, reason, id != nullptr});
  Poison("its row at line " + std::to_string(line) + " could not be read");
}

void SpellAssembler::Poison(const std::string& reason) {
  if (poison_.empty()) poison_ = reason;
  spell_.rows.clear();
  spell_.lines.clear();
}

void SpellAssembler::Close() {
  if (!open_) return;
  open_ = false;
  if (poison_.empty()) {
    on_spell_(std::move(spell_));
  } else {
    for (const Entry& entry : entries_) {
      on_reject_({entry.line, entry.own_id ? spell_.id : "",
                  entry.fault.empty() ? "spell rejected: " + poison_ : entry.fault});
    }
  }
  spell_ = SpellRows();
  if (!spare_.empty()) {
    spell_ = std::move(spare_.back());
    spare_.pop_back();
  }
  entries_.clear();
  poison_.clear();
}

void SpellAssembler::Finish() { Close(); }

void SpellAssembler::Recycle(SpellRows&& spell) {
  constexpr size_t kMaxSpare = 256;
  if (spare_.size() >= kMaxSpare) return;
  spell.id.clear();
  spell.lines.clear();
  spell.rows.clear();
  spare_.push_back(std::move(spell));
}

void SpellAssembler::Abandon(const std::string& reason) {
  if (open_) Poison(reason);
  Close();
}

}  // namespace zorvel::cli
