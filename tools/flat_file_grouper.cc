#include "flat_file_grouper.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <utility>

#include "csv_cells.h"

namespace zorvel::cli {
namespace {

std::vector<std::string> OutputColumns(const std::vector<SchemaField>& fields) {
  std::vector<std::string> columns;
  for (const SchemaField& field : fields) {
    if (field.name != "Id" && field.name != "Errors") columns.push_back(field.name);
  }
  return columns;
}

// A value as one cell: a text as it is, an array's texts joined with ";", a
// number or boolean as JSON writes it, null as nothing. `scratch` holds the
// text when it is not the value's own.
std::string_view CellOf(const rapidjson::Value& value, std::string* scratch) {
  if (value.IsString()) return std::string_view(value.GetString(), value.GetStringLength());
  scratch->clear();
  if (value.IsArray()) {
    bool first = true;
    for (const auto& element : value.GetArray()) {
      if (!first) scratch->push_back(';');
      first = false;
      if (element.IsString()) scratch->append(element.GetString(), element.GetStringLength());
    }
  } else if (!value.IsNull()) {
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    value.Accept(writer);
    scratch->assign(text.GetString(), text.GetSize());
  }
  return *scratch;
}

// The cell of member `name`; empty when absent.
std::string Cell(const rapidjson::Value& object, const char* name) {
  if (!object.IsObject()) return "";
  const auto member = object.FindMember(name);
  if (member == object.MemberEnd()) return "";
  std::string scratch;
  return std::string(CellOf(member->value, &scratch));
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

void AddErrors(const rapidjson::Value* errors, std::string_view spell_id,
               std::string_view episode_id, BatchResult* result) {
  if (errors == nullptr || !errors->IsArray()) return;
  for (const auto& error : errors->GetArray()) {
    const std::string message = Cell(error, "Message");
    AppendCsvLine(&result->errors, {spell_id, episode_id, Cell(error, "Field"), message,
                                    Cell(error, "Value"), Cell(error, "Index"),
                                    Cell(error, "Section")});
    AddCount(&result->messages, message);
  }
}

// One line per unbundled HRG: "HRG*N" counts N, a bare HRG counts 1.
void AddUnbundled(const rapidjson::Value* list, std::string_view spell_id,
                  std::string_view episode_id, BatchResult* result) {
  if (list == nullptr || !list->IsArray()) return;
  for (const auto& element : list->GetArray()) {
    if (!element.IsString()) continue;
    const std::string entry(element.GetString(), element.GetStringLength());
    std::string hrg = entry;
    std::string count = "1";
    const size_t star = entry.rfind('*');
    if (star != std::string::npos && star + 1 < entry.size() &&
        entry.find_first_not_of("0123456789", star + 1) == std::string::npos) {
      hrg = entry.substr(0, star);
      count = entry.substr(star + 1);
    }
    AppendCsvLine(&result->unbundled, {spell_id, episode_id, hrg, count});
  }
}

// The members of a trace step, in the order they are written.
constexpr const char* kTraceMembers[] = {"Component", "Step", "Item", "Index",
                                         "Code",      "Table", "Line", "List",
                                         "Rule",      "HRG",   "Result", "Reason"};

// One line per step of the record's "Trace", numbered on from `*number`.
void AddTrace(const rapidjson::Value* trace, std::string_view spell_id,
              std::string_view episode_id, long* number, BatchResult* result) {
  if (trace == nullptr || !trace->IsArray()) return;
  for (const auto& step : trace->GetArray()) {
    std::string& line = result->trace;
    AppendCsvCell(&line, spell_id, true);
    AppendCsvCell(&line, episode_id);
    AppendCsvCell(&line, std::to_string(++*number));
    for (const char* member : kTraceMembers) AppendCsvCell(&line, Cell(step, member));
    line.push_back('\n');
  }
}

bool IsTrue(const rapidjson::Value* success) {
  return success != nullptr && success->IsBool() && success->GetBool();
}

// The cell of `value`, empty when there is none.
std::string_view CellOf(const rapidjson::Value* value, std::string* scratch) {
  return value == nullptr ? std::string_view() : CellOf(*value, scratch);
}

}  // namespace

FlatFileGrouper::FlatFileGrouper(const PluginApi& api, const ModeSchema& mode,
                                 const ColumnMapping& mapping, bool keep_responses,
                                 bool requests_only)
    : api_(api),
      mapping_(mapping),
      keep_responses_(keep_responses),
      requests_only_(requests_only),
      spell_columns_(OutputColumns(mode.spell_outputs)),
      episode_columns_(OutputColumns(mode.episode_outputs)),
      has_unbundled_(mode.Outputs("UnbundledHRG")) {
  for (const std::string& name : spell_columns_) spell_has_hrg_ |= name == "HRG";
}

std::string FlatFileGrouper::SpellsHeader() const {
  return Header({"SpellId", "Success"}, spell_columns_);
}

std::string FlatFileGrouper::EpisodesHeader() const {
  return Header({"SpellId", "EpisodeId", "Success"}, episode_columns_);
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

BatchResult FlatFileGrouper::Group(const SpellBatch& batch) {
  BatchResult result;
  std::vector<const std::vector<std::string>*> rows;
  for (const SpellRows& spell : batch.spells) {
    rows.clear();
    for (const auto& row : spell.rows) rows.push_back(&row);
    mapping_.WriteRequest(spell.id, rows, &request_);
    if (requests_only_) {
      result.responses.append(request_);
      result.responses.push_back('\n');
      ++result.spell_count;
      result.episode_count += static_cast<long>(spell.rows.size());
      continue;
    }
    const std::string_view answer = buffer_.Fetch([&](char* data, uint32_t size) {
      return api_.CS_Process(0, request_.c_str(), data, size);
    });
    AddAnswer(spell, answer, &result);
  }
  return result;
}

void FlatFileGrouper::AddAnswer(const SpellRows& spell, std::string_view answer,
                                BatchResult* result) {
  if (keep_responses_) {
    result->responses.append(answer);
    result->responses.push_back('\n');
  }
  answer_.assign(answer);
  // The answer is the plug-in's own compact document, parsed in place.
  // The document's nodes come from a buffer kept across answers; the pool
  // turns to the heap only for an answer too large for it.
  rapidjson::MemoryPoolAllocator<> nodes(node_buffer_.data(), node_buffer_.size());
  rapidjson::Document document(&nodes);
  document.ParseInsitu(answer_.data());
  const rapidjson::Value& root = document;
  const Members spell_members = Scan(root, spell_columns_);
  const bool success = !document.HasParseError() && IsTrue(spell_members.success);
  ++result->spell_count;
  ++(success ? result->succeeded : result->failed);

  std::string& line = result->spells;
  AppendCsvCell(&line, spell.id, true);
  AppendCsvCell(&line, success ? "true" : "false");
  AppendCells(&line);
  line.push_back('\n');
  std::string scratch;
  if (spell_has_hrg_) AddCount(&result->hrgs, CellOf(spell_members.hrg, &scratch));
  AddErrors(spell_members.errors, spell.id, "", result);
  AddUnbundled(spell_members.unbundled, spell.id, "", result);
  long step = 0;
  AddTrace(spell_members.trace, spell.id, "", &step, result);

  const rapidjson::Value* episodes = spell_members.episodes;
  if (episodes == nullptr || !episodes->IsArray()) return;
  size_t index = 0;
  std::string numbered;
  for (const auto& episode : episodes->GetArray()) {
    const Members members = Scan(episode, episode_columns_);
    std::string_view id;
    if (members.id != nullptr) {
      id = CellOf(members.id, &numbered);
    } else {
      numbered = index < spell.rows.size() ? mapping_.EpisodeId(spell.rows[index], index)
                                           : std::to_string(index + 1);
      id = numbered;
    }
    ++index;
    ++result->episode_count;
    std::string& row = result->episodes;
    AppendCsvCell(&row, spell.id, true);
    AppendCsvCell(&row, id);
    AppendCsvCell(&row, IsTrue(members.success) ? "true" : "false");
    AppendCells(&row);
    row.push_back('\n');
    if (!spell_has_hrg_) AddCount(&result->hrgs, CellOf(members.hrg, &scratch));
    AddErrors(members.errors, spell.id, id, result);
    AddUnbundled(members.unbundled, spell.id, id, result);
    AddTrace(members.trace, spell.id, id, &step, result);
  }
}

// The members of an answer object that Scan finds, by name.
constexpr std::pair<std::string_view, const rapidjson::Value* FlatFileGrouper::Members::*>
    kNamedMembers[] = {{"Success", &FlatFileGrouper::Members::success},
                       {"HRG", &FlatFileGrouper::Members::hrg},
                       {"Errors", &FlatFileGrouper::Members::errors},
                       {"UnbundledHRG", &FlatFileGrouper::Members::unbundled},
                       {"Trace", &FlatFileGrouper::Members::trace},
                       {"Episodes", &FlatFileGrouper::Members::episodes},
                       {"Id", &FlatFileGrouper::Members::id}};

FlatFileGrouper::Members FlatFileGrouper::Scan(const rapidjson::Value& object,
                                               const std::vector<std::string>& columns) {
  Members found;
  cells_.assign(columns.size(), std::string_view());
  scratch_.resize(columns.size());
  if (!object.IsObject()) return found;
  // Answers list their members in the order of the columns, so the search
  // for each name starts after the last one found.
  size_t next = 0;
  for (const auto& member : object.GetObject()) {
    const std::string_view name(member.name.GetString(), member.name.GetStringLength());
    for (size_t step = 0; step < columns.size(); ++step) {
      const size_t i = (next + step) % columns.size();
      if (columns[i] == name) {
        cells_[i] = CellOf(member.value, &scratch_[i]);
        next = i + 1;
        break;
      }
    }
    for (const auto& [named, slot] : kNamedMembers) {
      if (name == named) {
        // The first member of a name counts, as a look-up by name finds.
        if (found.*slot == nullptr) found.*slot = &member.value;
        break;
      }
    }
  }
  return found;
}

void FlatFileGrouper::AppendCells(std::string* line) const { AppendCsvCells(line, cells_); }

}  // namespace zorvel::cli
