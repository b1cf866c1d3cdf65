#include "flat_file_grouper.h"

#include <algorithm>
#include <utility>

#include "csv_cells.h"

namespace zorvel::cli {
namespace {

using Kind = AnswerTape::Kind;

// A value as one cell: a text as it is, an array's texts joined with ";", a
// number, boolean or object as JSON writes it, null or no value (index 0)
// as nothing. `scratch` holds the text when it is not the value's own.
std::string_view CellOf(const AnswerTape& tape, uint32_t index, std::string* scratch) {
  if (index == 0) return {};
  const AnswerTape::Entry& value = tape[index];
  switch (value.kind) {
    case Kind::kString: return value.text;
    case Kind::kNull: return {};
    case Kind::kArray: {
      scratch->clear();
      bool first = true;
      for (uint32_t i = index + 1; i < value.next; i = tape[i].next) {
        if (!first) scratch->push_back(';');
        first = false;
        if (tape[i].kind == Kind::kString) scratch->append(tape[i].text);
      }
      return *scratch;
    }
    default: return tape.Json(index, scratch);
  }
}

// The cell of member `name` of the object at `index`; empty when absent.
std::string Cell(const AnswerTape& tape, uint32_t index, const char* name) {
  std::string scratch;
  return std::string(CellOf(tape, tape.Find(index, name), &scratch));
}

// Calls `visit` with the index of each element of the array at `index`
// (none when there is none, or it is not an array).
template <typename Visit>
void ForEachElement(const AnswerTape& tape, uint32_t index, Visit visit) {
  if (index == 0 || tape[index].kind != Kind::kArray) return;
  for (uint32_t i = index + 1; i < tape[index].next; i = tape[i].next) visit(i);
}

std::string Header(std::initializer_list<const char*> first, const std::vector<std::string>& rest) {
  std::string line;
  bool start = true;
  for (const char* name : first) {
    AppendCsvCell(&line, name, start);
    start = false;
  }
  for (const std::string& name : rest) AppendCsvCell(&line, name);
  line.push_back('\n');
  return line;
}

void AddErrors(const AnswerTape& tape, uint32_t errors, std::string_view spell_id,
               std::string_view episode_id, BatchResult* result) {
  ForEachElement(tape, errors, [&](uint32_t error) {
    const std::string message = Cell(tape, error, "Message");
    AppendCsvLine(&result->errors, {spell_id, episode_id, Cell(tape, error, "Field"), message,
                                    Cell(tape, error, "Value"), Cell(tape, error, "Index"),
                                    Cell(tape, error, "Section")});
    result->messages.Add(message);
  });
}

// One line per unbundled HRG: "HRG*N" counts N, a bare HRG counts 1.
void AddUnbundled(const AnswerTape& tape, uint32_t list, std::string_view spell_id,
                  std::string_view episode_id, BatchResult* result) {
  ForEachElement(tape, list, [&](uint32_t element) {
    if (tape[element].kind != Kind::kString) return;
    const std::string entry(tape[element].text);
    std::string hrg = entry;
    std::string count = "1";
    const size_t star = entry.rfind('*');
    if (star != std::string::npos && star + 1 < entry.size() &&
        entry.find_first_not_of("0123456789", star + 1) == std::string::npos) {
      hrg = entry.substr(0, star);
      count = entry.substr(star + 1);
    }
    AppendCsvLine(&result->unbundled, {spell_id, episode_id, hrg, count});
  });
}

// The members of a trace step, in the order they are written.
constexpr const char* kTraceMembers[] = {"Component", "Step", "Item", "Index",
                                         "Code",      "Table", "Line", "List",
                                         "Rule",      "HRG",   "Result", "Reason"};

// One line per step of the record's "Trace", numbered on from `*number`.
void AddTrace(const AnswerTape& tape, uint32_t trace, std::string_view spell_id,
              std::string_view episode_id, long* number, BatchResult* result) {
  ForEachElement(tape, trace, [&](uint32_t step) {
    std::string& line = result->trace;
    AppendCsvCell(&line, spell_id, true);
    AppendCsvCell(&line, episode_id);
    AppendCsvCell(&line, std::to_string(++*number));
    for (const char* member : kTraceMembers) AppendCsvCell(&line, Cell(tape, step, member));
    line.push_back('\n');
  });
}

bool IsTrue(const AnswerTape& tape, uint32_t success) {
  return success != 0 && tape[success].kind == Kind::kTrue;
}

std::string_view TrueOrFalse(bool value) {
  using namespace std::string_view_literals;
  return value ? "true"sv : "false"sv;
}

}  // namespace

FlatFileGrouper::FlatFileGrouper(const PluginApi& api, const ModeSchema& mode,
                                 const ColumnMapping& mapping, bool keep_responses,
                                 bool requests_only)
    : api_(api),
      mapping_(mapping),
      keep_responses_(keep_responses),
      requests_only_(requests_only),
      spell_columns_(mode.spell_outputs, 2, {"Success", "Errors", "Id"}),
      episode_columns_(mode.episode_outputs, 3, {"Id", "Success", "Errors"}),
      has_unbundled_(mode.Outputs("UnbundledHRG")) {
  for (const std::string& name : spell_columns_.names) spell_has_hrg_ |= name == "HRG";
}

std::string FlatFileGrouper::SpellsHeader() const {
  return Header({"SpellId", "Success"}, spell_columns_.names);
}

std::string FlatFileGrouper::EpisodesHeader() const {
  return Header({"SpellId", "EpisodeId", "Success"}, episode_columns_.names);
}

std::string FlatFileGrouper::ErrorsHeader() {
  return Header({"SpellId", "EpisodeId", "Field", "Message", "Value", "Index", "Section"}, {});
}

std::string FlatFileGrouper::UnbundledHeader() {
  return Header({"SpellId", "EpisodeId", "HRG", "Count"}, {});
}

std::string FlatFileGrouper::TraceHeader() {
  return Header({"SpellId", "EpisodeId", "StepNumber"},
                std::vector<std::string>(std::begin(kTraceMembers), std::end(kTraceMembers)));
}

void FlatFileGrouper::GroupInto(const SpellBatch& batch, BatchResult* into) {
  BatchResult& result = *into;
  std::vector<const RowCells*> rows;
  for (const SpellRows& spell : batch.spells) {
    rows.clear();
    for (const auto& row : spell.rows) rows.push_back(&row);
    const std::string_view request = mapping_.WriteRequest(spell.id, rows, &request_);
    if (requests_only_) {
      result.responses.append(request);
      result.responses.push_back('\n');
      ++result.spell_count;
      result.episode_count += static_cast<long>(spell.rows.size());
      continue;
    }
    const std::string_view answer = buffer_.Fetch([&](char* data, uint32_t size) {
      return api_.CS_Process(0, request.data(), data, size);
    });
    AddAnswer(spell, answer, &result);
  }
}

void FlatFileGrouper::AddAnswer(const SpellRows& spell, std::string_view answer,
                                BatchResult* result) {
  if (keep_responses_) {
    result->responses.append(answer);
    result->responses.push_back('\n');
  }
  tape_.Read(answer);
  const Members spell_members = Scan(0, spell_columns_);
  const bool success = !tape_.ParseError() && IsTrue(tape_, spell_members.success);
  ++result->spell_count;
  ++(success ? result->succeeded : result->failed);
  std::vector<std::string_view>& spell_cells = spell_columns_.cells;
  spell_cells[0] = spell.id;
  spell_cells[1] = TrueOrFalse(success);
  AppendCsvRow(&result->spells, spell_cells);
  std::string scratch;
  if (spell_has_hrg_) result->hrgs.Add(CellOf(tape_, spell_members.hrg, &scratch));
  AddErrors(tape_, spell_members.errors, spell.id, "", result);
  AddUnbundled(tape_, spell_members.unbundled, spell.id, "", result);
  long step = 0;
  AddTrace(tape_, spell_members.trace, spell.id, "", &step, result);

  size_t index = 0;
  std::string numbered;
  ForEachElement(tape_, spell_members.episodes, [&](uint32_t episode) {
    const Members members = Scan(episode, episode_columns_);
    std::string_view id;
    if (members.id != 0) {
      id = CellOf(tape_, members.id, &numbered);
    } else {
      numbered = index < spell.rows.size() ? mapping_.EpisodeId(spell.rows[index], index)
                                           : std::to_string(index + 1);
      id = numbered;
    }
    ++index;
    ++result->episode_count;
    std::vector<std::string_view>& cells = episode_columns_.cells;
    cells[0] = spell.id;
    cells[1] = id;
    cells[2] = TrueOrFalse(IsTrue(tape_, members.success));
    AppendCsvRow(&result->episodes, cells);
    if (!spell_has_hrg_) result->hrgs.Add(CellOf(tape_, members.hrg, &scratch));
    AddErrors(tape_, members.errors, spell.id, id, result);
    AddUnbundled(tape_, members.unbundled, spell.id, id, result);
    AddTrace(tape_, members.trace, spell.id, id, &step, result);
  });
}

namespace {

using MemberSlot = uint32_t FlatFileGrouper::Members::*;

// The members of an answer object that Scan finds, by name.
constexpr std::pair<std::string_view, MemberSlot> kNamedMembers[] = {
    {"Success", &FlatFileGrouper::Members::success},
    {"HRG", &FlatFileGrouper::Members::hrg},
    {"Errors", &FlatFileGrouper::Members::errors},
    {"UnbundledHRG", &FlatFileGrouper::Members::unbundled},
    {"Trace", &FlatFileGrouper::Members::trace},
    {"Episodes", &FlatFileGrouper::Members::episodes},
    {"Id", &FlatFileGrouper::Members::id}};

MemberSlot NamedSlot(std::string_view name) {
  for (const auto& [named, slot] : kNamedMembers) {
    if (name == named) return slot;
  }
  return nullptr;
}

// The index of the member named `name` in `members`, searched from `from`
// on and then round to it; members.size() when it is not there.
template <typename Member>
size_t FindMember(const std::vector<Member>& members, std::string_view name, size_t from) {
  const size_t count = members.size();
  for (size_t i = from; i < count; ++i) {
    if (members[i].name == name) return i;
  }
  for (size_t i = 0; i < from && i < count; ++i) {
    if (members[i].name == name) return i;
  }
  return count;
}

}  // namespace

FlatFileGrouper::Columns::Columns(const std::vector<SchemaField>& outputs, size_t lead_cells,
                                  std::initializer_list<const char*> first)
    : lead(lead_cells) {
  std::vector<bool> is_column;
  auto add = [&](const std::string& name, bool column) {
    if (std::find(member_names.begin(), member_names.end(), name) != member_names.end()) return;
    member_names.push_back(name);
    is_column.push_back(column);
  };
  for (const char* name : first) add(name, false);
  for (const SchemaField& field : outputs) add(field.name, field.name != "Id" && field.name != "Errors");
  add("Episodes", false);
  // The names are all in place, so views of them stay valid.
  for (size_t i = 0; i < member_names.size(); ++i) {
    const std::string& name = member_names[i];
    members.push_back({name, is_column[i] ? static_cast<uint32_t>(names.size()) : kNoColumn,
                       NamedSlot(name)});
    if (is_column[i]) names.push_back(name);
  }
  cells.resize(lead + names.size());
}

FlatFileGrouper::Members FlatFileGrouper::Scan(uint32_t object, Columns& columns) {
  Members found;
  const size_t count = columns.names.size();
  std::string_view* const cells = columns.cells.data() + columns.lead;
  std::fill(cells, cells + count, std::string_view());
  if (scratch_.size() < count) scratch_.resize(count);
  const AnswerTape::Entry& entry = tape_[object];
  if (entry.kind != Kind::kObject) return found;
  const std::vector<Columns::Member>& members = columns.members;
  const size_t known = members.size();
  // Answers list their members nearly in the order of `members`, so the
  // name after the last one found is tried first.
  size_t next = 0;
  for (uint32_t member = object + 1; member < entry.next; member = tape_[member + 1].next) {
    const std::string_view name = tape_[member].text;
    const uint32_t value = member + 1;
    const size_t i =
        next < known && members[next].name == name ? next : FindMember(members, name, next);
    MemberSlot slot = nullptr;
    if (i < known) {
      next = i + 1;
      const Columns::Member& column = members[i];
      slot = column.slot;
      if (column.column != Columns::kNoColumn) {
        const AnswerTape::Entry& cell = tape_[value];
        cells[column.column] =
            cell.kind == Kind::kString ? cell.text : CellOf(tape_, value, &scratch_[column.column]);
      }
    } else {
      slot = NamedSlot(name);
    }
    // The first member of a name counts, as a look-up by name finds.
    if (slot != nullptr && found.*slot == 0) found.*slot = value;
  }
  return found;
}


}  // namespace zorvel::cli
