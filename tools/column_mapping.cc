#include "column_mapping.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "csv_row_reader.h"
#include "json_text.h"

namespace zorvel::cli {
namespace {

// The number of FIELD_NUMBER when `column` is `field` followed by "_" and
// digits; 0 otherwise.
long NumberedPosition(const std::string& column, const std::string& field) {
  if (column.size() <= field.size() + 1 || column.compare(0, field.size(), field) != 0 ||
      column[field.size()] != '_') {
    return 0;
  }
  const std::string digits = column.substr(field.size() + 1);
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  return std::stol(digits);
}

int FindSlot(const std::vector<ColumnMapping::Slot>& slots, const std::string& name) {
  for (size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

std::vector<ColumnMapping::Slot> SlotsOf(const std::vector<SchemaField>& fields) {
  std::vector<ColumnMapping::Slot> slots;
  for (const SchemaField& field : fields) {
    ColumnMapping::Slot slot;
    slot.name = field.name;
    slot.is_array = field.is_array;
    slots.push_back(std::move(slot));
  }
  return slots;
}

// Calls `take` with each of an array's values: the ";"-separated list of its
// whole-list column, or its numbered columns in order; trailing empty
// positions dropped.
template <typename Take>
void ForEachArrayValue(const ColumnMapping::Slot& slot, const RowCells& row,
                       Take take) {
  if (slot.column >= 0) {
    const std::string_view cell = row[static_cast<size_t>(slot.column)];
    const size_t end = cell.find_last_not_of(';');
    if (end == std::string_view::npos) return;
    const std::string_view list = cell.substr(0, end + 1);
    for (size_t start = 0;;) {
      const size_t stop = std::min(list.find(';', start), list.size());
      take(list.substr(start, stop - start));
      if (stop == list.size()) return;
      start = stop + 1;
    }
  }
  size_t count = slot.numbered.size();
  while (count > 0 && row[static_cast<size_t>(slot.numbered[count - 1].second)].empty()) --count;
  for (size_t i = 0; i < count; ++i) take(row[static_cast<size_t>(slot.numbered[i].second)]);
}

// The room RequestText::Key needs for `slot`'s key.
size_t KeyRoom(const ColumnMapping::Slot& slot) {
  return std::max(slot.key.size(), ColumnMapping::Slot::kShortKey);
}

// A request's text written through a pointer, with room made before each
// piece, so that a byte costs a store rather than a string append. The room
// is a string whose size is kept from request to request: cutting it to the
// text would have the next request clear its bytes again as it grows back.
class RequestText {
 public:
  explicit RequestText(std::string* room) : room_(room) {
    if (room_->size() < 1024) room_->resize(1024);
    out_ = room_->data();
  }
  RequestText(const RequestText&) = delete;
  RequestText& operator=(const RequestText&) = delete;

  // The text written, with a NUL after it in the room.
  std::string_view Finish() {
    Reserve(1);
    *out_ = '\0';
    return std::string_view(room_->data(), static_cast<size_t>(out_ - room_->data()));
  }

  // Makes room for `size` more bytes.
  void Reserve(size_t size) {
    const size_t used = static_cast<size_t>(out_ - room_->data());
    if (room_->size() - used >= size) return;
    room_->resize(std::max(2 * room_->size(), used + size));
    out_ = room_->data() + used;
  }
  void Put(char c) { *out_++ = c; }
  void Put(std::string_view text) {
    std::memcpy(out_, text.data(), text.size());
    out_ += text.size();
  }
  // Puts `value` as a JSON string; needs room for JsonStringBound(value.size())
  // bytes.
  void String(std::string_view value) { out_ = WriteJsonString(out_, value); }
  // Puts `slot`'s key; needs room for kShortKey bytes, or for the key.
  void Key(const ColumnMapping::Slot& slot) {
    if (slot.key.size() > ColumnMapping::Slot::kShortKey) return Put(slot.key);
    std::memcpy(out_, slot.short_key.data(), ColumnMapping::Slot::kShortKey);
    out_ += slot.key.size();
  }
  // Reserves room for `text` and puts it.
  void Append(std::string_view text) {
    Reserve(text.size());
    Put(text);
  }
  // Reserves room for `value` as a JSON string and puts it.
  void AppendString(std::string_view value) {
    Reserve(JsonStringBound(value.size()));
    String(value);
  }

 private:
  std::string* room_;
  char* out_;
};

// Writes the members of `slots` that `row` fills, each after a comma unless
// it is the object's first (`*first`).
void WriteSlots(RequestText& text, const std::vector<ColumnMapping::Slot>& slots,
                const RowCells& row, bool* first) {
  for (const ColumnMapping::Slot& slot : slots) {
    if (!slot.is_array) {
      if (slot.column < 0) continue;
      const std::string_view cell = row[static_cast<size_t>(slot.column)];
      if (cell.empty()) continue;
      text.Reserve(2 + KeyRoom(slot) + JsonStringBound(cell.size()));
      if (!*first) text.Put(',');
      *first = false;
      text.Key(slot);
      text.String(cell);
      continue;
    }
    // An array with no value is left out; its key goes before the first.
    bool first_value = true;
    ForEachArrayValue(slot, row, [&](std::string_view value) {
      if (first_value) {
        text.Reserve(3 + KeyRoom(slot));
        if (!*first) text.Put(',');
        *first = false;
        text.Key(slot);
        text.Put('[');
      }
      text.Reserve(2 + JsonStringBound(value.size()));
      if (!first_value) text.Put(',');
      first_value = false;
      text.String(value);
    });
    if (!first_value) text.Append("]");
  }
}

}  // namespace

bool ReadColumnMap(const std::string& path, std::vector<ColumnMapEntry>* entries,
                   std::string* error) {
  CsvRowReader reader;
  if (!reader.Open(path)) {
    *error = reader.error();
    return false;
  }
  CsvRow row;
  bool header = true;
  while (reader.Next(&row)) {
    const std::string where = path + ":" + std::to_string(row.line) + ": ";
    if (!row.fault.empty()) {
      *error = where + row.fault;
      return false;
    }
    if (header) {
      header = false;
      if (row.cells.size() < 2 || row.cells[0] != "column" || row.cells[1] != "field" ||
          (row.cells.size() == 3 && row.cells[2] != "position") || row.cells.size() > 3) {
        *error = where + "a column map starts with the header column,field or "
                         "column,field,position";
        return false;
      }
      continue;
    }
    if (row.cells.size() == 1 && row.cells[0].empty()) continue;
    ColumnMapEntry entry;
    entry.line = row.line;
    entry.column = row.cells[0];
    entry.field = row.cells.size() > 1 ? row.cells[1] : "";
    const std::string position(row.cells.size() > 2 ? row.cells[2] : "");
    if (entry.column.empty() || entry.field.empty()) {
      *error = where + "each line names a column and a field";
      return false;
    }
    if (!position.empty()) {
      if (position.size() > 9 || position.find_first_not_of("0123456789") != std::string::npos ||
          std::stol(position) == 0) {
        *error = where + "the position \"" + position + "\" is not a whole number from 1";
        return false;
      }
      entry.position = std::stol(position);
    }
    entries->push_back(std::move(entry));
  }
  if (!reader.error().empty()) {
    *error = reader.error();
    return false;
  }
  return true;
}

bool ColumnMapping::Claim(Slot& slot, int column, const std::vector<std::string>& header) {
  if (slot.column >= 0) {
    error_ = "the columns " + header[static_cast<size_t>(slot.column)] + " and " +
             header[static_cast<size_t>(column)] + " both fill " + slot.name;
    return false;
  }
  slot.column = column;
  return true;
}

bool ColumnMapping::OrderPositions(Slot& slot, const std::vector<std::string>& header) {
  if (slot.numbered.empty()) return true;
  if (slot.column >= 0) {
    error_ = "the column " + header[static_cast<size_t>(slot.column)] + " holds all of " +
             slot.name + ", but " + header[static_cast<size_t>(slot.numbered[0].second)] +
             " fills one of its positions";
    return false;
  }
  std::stable_sort(slot.numbered.begin(), slot.numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 1; i < slot.numbered.size(); ++i) {
    if (slot.numbered[i].first == slot.numbered[i - 1].first) {
      error_ = "the columns " + header[static_cast<size_t>(slot.numbered[i - 1].second)] +
               " and " + header[static_cast<size_t>(slot.numbered[i].second)] + " both fill " +
               slot.name + " position " + std::to_string(slot.numbered[i].first);
      return false;
    }
  }
  return true;
}

bool ColumnMapping::Build(const ModeSchema& mode, const std::vector<std::string>& header,
                          const std::string& spell_column,
                          const std::vector<ColumnMapEntry>& map) {
  mode_ = mode.code;
  episode_slots_ = SlotsOf(mode.episode_inputs);
  spell_slots_.clear();
  for (Slot& slot : SlotsOf(mode.spell_inputs)) {
    // The spell's id comes from the spell column; a field that episodes
    // also have is read for the episodes.
    if (slot.name != "Id" && FindSlot(episode_slots_, slot.name) < 0) {
      spell_slots_.push_back(std::move(slot));
    }
  }
  std::vector<bool> used(header.size(), false);
  spell_column_ = -1;
  for (size_t i = 0; i < header.size(); ++i) {
    if (header[i] == spell_column && spell_column_ < 0) {
      spell_column_ = static_cast<int>(i);
      used[i] = true;
    }
  }

  for (const ColumnMapEntry& entry : map) {
    const auto found = std::find(header.begin(), header.end(), entry.column);
    if (found == header.end()) {
      missing_.push_back(entry.column);
      continue;
    }
    const int column = static_cast<int>(found - header.begin());
    const std::string where = "line " + std::to_string(entry.line) + " of the column map: ";
    std::vector<Slot>* slots = &episode_slots_;
    int slot = FindSlot(episode_slots_, entry.field);
    if (slot < 0) {
      slots = &spell_slots_;
      slot = FindSlot(spell_slots_, entry.field);
    }
    if (slot < 0) {
      // A field the schema does not list is sent as it is named: one value,
      // or an array when the map gives positions.
      Slot extra;
      extra.name = entry.field;
      extra.is_array = entry.position != 0;
      slots = &episode_slots_;
      slots->push_back(std::move(extra));
      slot = static_cast<int>(slots->size()) - 1;
    }
    Slot& target = (*slots)[static_cast<size_t>(slot)];
    if (!target.is_array && entry.position != 0) {
      error_ = where + entry.field + " holds one value and has no positions";
      return false;
    }
    used[static_cast<size_t>(column)] = true;
    if (entry.position != 0) {
      target.numbered.emplace_back(entry.position, column);
    } else if (!Claim(target, column, header)) {
      return false;
    }
  }

  for (size_t i = 0; i < header.size(); ++i) {
    if (used[i]) continue;
    const int column = static_cast<int>(i);
    const int episode_slot = FindSlot(episode_slots_, header[i]);
    const int spell_slot = FindSlot(spell_slots_, header[i]);
    if (episode_slot >= 0 || spell_slot >= 0) {
      Slot& target = episode_slot >= 0 ? episode_slots_[static_cast<size_t>(episode_slot)]
                                       : spell_slots_[static_cast<size_t>(spell_slot)];
      if (!Claim(target, column, header)) return false;
      continue;
    }
    bool numbered = false;
    for (Slot& slot : episode_slots_) {
      const long position = slot.is_array ? NumberedPosition(header[i], slot.name) : 0;
      if (position > 0) {
        slot.numbered.emplace_back(position, column);
        numbered = true;
        break;
      }
    }
    if (!numbered) unused_.push_back(header[i]);
  }
  for (Slot& slot : episode_slots_) {
    if (!OrderPositions(slot, header)) return false;
  }
  for (Slot& slot : spell_slots_) {
    if (!OrderPositions(slot, header)) return false;
  }
  for (std::vector<Slot>* slots : {&spell_slots_, &episode_slots_}) {
    for (Slot& slot : *slots) {
      slot.key.clear();
      AppendJsonString(&slot.key, slot.name);
      slot.key.push_back(':');
      slot.short_key.fill('\0');
      if (slot.key.size() <= Slot::kShortKey) slot.key.copy(slot.short_key.data(), slot.key.size());
    }
  }
  const int id_slot = FindSlot(episode_slots_, "Id");
  episode_id_column_ = id_slot < 0 ? -1 : episode_slots_[static_cast<size_t>(id_slot)].column;
  number_episodes_ = id_slot >= 0 && episode_id_column_ < 0;
  // A slot that no column fills writes nothing: a request walks only the
  // others.
  for (std::vector<Slot>* slots : {&spell_slots_, &episode_slots_}) {
    slots->erase(std::remove_if(slots->begin(), slots->end(),
                                [](const Slot& slot) {
                                  return slot.column < 0 && slot.numbered.empty();
                                }),
                 slots->end());
  }
  return true;
}

std::string ColumnMapping::EpisodeId(const RowCells& row, size_t index) const {
  if (episode_id_column_ >= 0) return std::string(row[static_cast<size_t>(episode_id_column_)]);
  return std::to_string(index + 1);
}

std::string_view ColumnMapping::WriteRequest(const std::string& spell_id,
                                             const std::vector<const RowCells*>& rows,
                                             std::string* room) const {
  RequestText text(room);
  text.Append("{\"Group\":");
  text.AppendString(mode_);
  if (trace_) text.Append(",\"Trace\":true");
  text.Append(",\"Spell\":{\"Id\":");
  text.AppendString(spell_id);
  bool first = false;
  if (!rows.empty()) WriteSlots(text, spell_slots_, *rows.front(), &first);
  text.Append(",\"Episodes\":[");
  for (size_t i = 0; i < rows.size(); ++i) {
    text.Append(i == 0 ? "{" : ",{");
    first = true;
    if (number_episodes_) {
      text.Append("\"Id\":");
      text.AppendString(std::to_string(i + 1));
      first = false;
    }
    WriteSlots(text, episode_slots_, *rows[i], &first);
    text.Append("}");
  }
  text.Append("]}}");
  return text.Finish();
}

}  // namespace zorvel::cli
