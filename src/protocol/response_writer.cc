// The response document, written in one pass straight into the host's buffer.
#include "protocol/response_writer.h"

#include <cstddef>
#include <utility>

#include "protocol/error_catalogue.h"

namespace zorvel {
namespace {

constexpr std::string_view kSpellContext = "spell";
// Room for the writer's stack at the response's depth of at most six open
// objects and arrays (its initial reservation is 32 levels), with the
// pool's own header.
constexpr size_t kWriterStackBytes = 1024;
constexpr std::string_view kEpisodeContext = "episode";

void Key(JsonWriter& writer, std::string_view key) {
  writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

void String(JsonWriter& writer, std::string_view text) {
  // The writer wants a non-null pointer even for an empty text.
  const char* data = text.empty() ? "" : text.data();
  writer.String(data, static_cast<rapidjson::SizeType>(text.size()));
}

void StringMember(JsonWriter& writer, std::string_view key,
                  std::string_view text) {
  Key(writer, key);
  String(writer, text);
}

void WriteErrors(JsonWriter& writer, const std::vector<GroupingError>& errors,
                 std::string_view context) {
  if (errors.empty()) return;
  Key(writer, "Errors");
  writer.StartArray();
  for (const GroupingError& error : errors) {
    WriteErrorObject(writer, error, context);
  }
  writer.EndArray();
}

void WriteFields(JsonWriter& writer, const ResolvedFields* fields,
                 const Record& record) {
  if (fields == nullptr) return;
  for (const ResolvedField& field : *fields) WriteField(writer, field, record);
}

// One step: its members in a fixed order, each only when not empty.
void WriteTraceStep(JsonWriter& writer, const TraceStep& step) {
  const std::pair<std::string_view, const std::string*> members[] = {
      {"Component", &step.component}, {"Step", &step.step},
      {"Item", &step.item},           {"Index", &step.index},
      {"Code", &step.code},           {"Table", &step.table},
      {"Line", &step.line},           {"List", &step.list},
      {"Rule", &step.rule},           {"HRG", &step.hrg},
      {"Result", &step.result},       {"Reason", &step.reason}};
  writer.StartObject();
  for (const auto& [key, text] : members) {
    if (!text->empty()) StringMember(writer, key, *text);
  }
  writer.EndObject();
}

// "Trace", for a record whose request asked for it.
void WriteTrace(JsonWriter& writer, const GroupingTrace& trace) {
  if (!trace.on()) return;
  Key(writer, "Trace");
  writer.StartArray();
  for (const TraceStep& step : trace.steps()) WriteTraceStep(writer, step);
  if (trace.cut()) {
    TraceStep cut;
    cut.component = "Plugin";
    cut.step = "Cut";
    cut.result = "cut short";
    cut.reason = "the request's trace reached its limit of steps";
    WriteTraceStep(writer, cut);
  }
  writer.EndArray();
}

// "Id", resolved once for every response.
const ResolvedField& IdField() {
  static const ResolvedField id = ResolveFields(FieldNames{"Id"})[0];
  return id;
}

void WriteEpisode(JsonWriter& writer, const Record& episode,
                  const OutputFields* fields) {
  writer.StartObject();
  WriteField(writer, IdField(), episode);
  Key(writer, "Success");
  writer.Bool(episode.success);
  WriteErrors(writer, episode.errors, kEpisodeContext);
  if (fields != nullptr) {
    WriteFields(writer, fields->episode_fields, episode);
    WriteFields(writer, fields->extra_episode_items, episode);
  }
  WriteTrace(writer, episode.trace);
  writer.EndObject();
}

}  // namespace

ItemKey ResolvedField::key() const { return ItemKey(name, hash); }

void ResolveFields(const FieldNames& names, ResolvedFields& fields) {
  fields.resize(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    fields[i].name.assign(names[i]);
    fields[i].hash = HashItemName(names[i]);
    fields[i].kind = KindOf(names[i]);
  }
}

ResolvedFields ResolveFields(const FieldNames& names) {
  ResolvedFields fields;
  ResolveFields(names, fields);
  return fields;
}

void WriteField(JsonWriter& writer, const std::string& name,
                const Record& record) {
  ResolvedField field;
  field.name = name;
  field.hash = HashItemName(name);
  field.kind = KindOf(name);
  WriteField(writer, field, record);
}

void WriteField(JsonWriter& writer, const ResolvedField& field,
                const Record& record) {
  const std::string& name = field.name;
  switch (field.kind) {
    case kSingle:
      if (const std::string* value = record.FindSingle(field.key())) {
        StringMember(writer, name, *value);
      }
      break;
    case kArray:
      if (const std::vector<std::string>* values =
              record.FindList(field.key())) {
        Key(writer, name);
        writer.StartArray();
        for (const std::string& value : *values) String(writer, value);
        writer.EndArray();
      }
      break;
    default:
      break;
  }
}

void WriteErrorObject(JsonWriter& writer, const GroupingError& error,
                      std::string_view context) {
  const bool free_message = error.message == kFreeMessage;
  writer.StartObject();
  StringMember(writer, "Field", error.field);
  StringMember(writer, "Message",
               free_message ? std::string_view(error.text)
                            : MessageText(error.message));
  StringMember(writer, "Value", free_message ? std::string_view() : error.text);
  StringMember(writer, "Index",
               free_message ? std::string_view() : error.index);
  std::string_view section = SectionName(error.section);
  if (!section.empty() && section != context) {
    StringMember(writer, "Section", section);
  }
  writer.EndObject();
}

uint32_t WriteEmptyResponse(BoundedOutputStream& stream) {
  alignas(std::max_align_t) char stack[kWriterStackBytes];
  WriterStackAllocator allocator(stack, sizeof stack);
  JsonWriter writer(stream, &allocator);
  writer.StartObject();
  writer.EndObject();
  stream.Terminate();
  return stream.position();
}

uint32_t WriteResponse(const Spell& spell, const OutputFields* fields,
                       BoundedOutputStream& stream) {
  alignas(std::max_align_t) char stack[kWriterStackBytes];
  WriterStackAllocator allocator(stack, sizeof stack);
  JsonWriter writer(stream, &allocator);
  writer.StartObject();
  Key(writer, "Success");
  writer.Bool(spell.success);
  WriteErrors(writer, spell.errors, kSpellContext);
  if (fields != nullptr && spell.output != nullptr) {
    WriteField(writer, IdField(), spell);
    WriteFields(writer, fields->spell_fields, *spell.output);
    WriteFields(writer, fields->extra_spell_items, *spell.output);
  }
  Key(writer, "Episodes");
  writer.StartArray();
  for (const Record& episode : spell.episodes) {
    WriteEpisode(writer, episode, fields);
  }
  writer.EndArray();
  WriteTrace(writer, spell.trace);
  writer.EndObject();
  stream.Terminate();
  return stream.position();
}

}  // namespace zorvel
