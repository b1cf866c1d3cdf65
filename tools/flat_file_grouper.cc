#include "flat_file_grouper.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

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

void AddErrors(const rapidjson::Value& object, const std::string& spell_id,
               const std::string& episode_id, BatchResult* result) {
  if (!object.IsObject()) return;
  const auto errors = object.FindMember("Errors");
  if (errors == object.MemberEnd() || !errors->value.IsArray()) return;
  for (const auto& error : errors->value.GetArray()) {
    const std::string message = Cell(error, "Message");
    AppendCsvLine(&result->errors, {spell_id, episode_id, Cell(error, "Field"), message,
                                    Cell(error, "Value"), Cell(error, "Index"),
                                    Cell(error, "Section")});
    ++result->messages[message];
  }
}

// One line per unbundled HRG: "HRG*N" counts N, a bare HRG counts 1.
void AddUnbundled(const rapidjson::Value& object, const std::string& spell_id,
                  const std::string& episode_id, BatchResult* result) {
  if (!object.IsObject()) return;
  const auto list = object.FindMember("UnbundledHRG");
  if (list == object.MemberEnd() || !list->value.IsArray()) return;
  for (const auto& element : list->value.GetArray()) {
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
void AddTrace(const rapidjson::Value& object, const std::string& spell_id,
              const std::string& episode_id, long* number, BatchResult* result) {
  if (!object.IsObject()) return;
  const auto trace = object.FindMember("Trace");
  if (trace == object.MemberEnd() || !trace->value.IsArray()) return;
  for (const auto& step : trace->value.GetArray()) {
    std::string& line = result->trace;
    AppendCsvCell(&line, spell_id, true);
    AppendCsvCell(&line, episode_id);
    AppendCsvCell(&line, std::to_string(++*number));
    for (const char* member : kTraceMembers) AppendCsvCell(&line, Cell(step, member));
    line.push_back('\n');
  }
}

bool IsTrue(const rapidjson::Value& object) {
  if (!object.IsObject()) return false;
  const auto success = object.FindMember("Success");
  return success != object.MemberEnd() && success->value.IsBool() && success->value.GetBool();
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
      result.responses.append(request_.GetString(), request_.GetSize());
      result.responses.push_back('\n');
      ++result.spell_count;
      result.episode_count += static_cast<long>(spell.rows.size());
      continue;
    }
    const std::string_view answer = buffer_.Fetch([&](char* data, uint32_t size) {
      return api_.CS_Process(0, request_.GetString(), data, size);
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
  const bool success = !document.HasParseError() && IsTrue(root);
  ++result->spell_count;
  ++(success ? result->succeeded : result->failed);

  std::string& line = result->spells;
  AppendCsvCell(&line, spell.id, true);
  AppendCsvCell(&line, success ? "true" : "false");
  AppendColumns(root, spell_columns_, &line);
  line.push_back('\n');
  if (spell_has_hrg_) ++result->hrgs[Cell(root, "HRG")];
  AddErrors(root, spell.id, "", result);
  AddUnbundled(root, spell.id, "", result);
  long step = 0;
  AddTrace(root, spell.id, "", &step, result);

  if (!root.IsObject()) return;
  const auto episodes = root.FindMember("Episodes");
  if (episodes == root.MemberEnd() || !episodes->value.IsArray()) return;
  size_t index = 0;
  for (const auto& episode : episodes->value.GetArray()) {
    const std::string id = episode.IsObject() && episode.HasMember("Id")
                               ? Cell(episode, "Id")
                               : (index < spell.rows.size()
                                      ? mapping_.EpisodeId(spell.rows[index], index)
                                      : std::to_string(index + 1));
    ++index;
    ++result->episode_count;
    std::string& row = result->episodes;
    AppendCsvCell(&row, spell.id, true);
    AppendCsvCell(&row, id);
    AppendCsvCell(&row, IsTrue(episode) ? "true" : "false");
    AppendColumns(episode, episode_columns_, &row);
    row.push_back('\n');
    if (!spell_has_hrg_) ++result->hrgs[Cell(episode, "HRG")];
    AddErrors(episode, spell.id, id, result);
    AddUnbundled(episode, spell.id, id, result);
    AddTrace(episode, spell.id, id, &step, result);
  }
}

void FlatFileGrouper::AppendColumns(const rapidjson::Value& object,
                                    const std::vector<std::string>& columns, std::string* line) {
  cells_.assign(columns.size(), std::string_view());
  scratch_.resize(columns.size());
  if (object.IsObject()) {
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
    }
  }
  for (std::string_view cell : cells_) AppendCsvCell(line, cell);
}

}  // namespace zorvel::cli
