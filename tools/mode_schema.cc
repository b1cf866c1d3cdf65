#include "mode_schema.h"

#include <rapidjson/document.h>

namespace zorvel::cli {
namespace {

std::vector<SchemaField> Fields(const rapidjson::Value& mode, const char* member) {
  std::vector<SchemaField> fields;
  const auto list = mode.FindMember(member);
  if (list == mode.MemberEnd() || !list->value.IsArray()) return fields;
  for (const auto& field : list->value.GetArray()) {
    if (!field.IsObject()) continue;
    const auto name = field.FindMember("Name");
    const auto type = field.FindMember("Type");
    if (name == field.MemberEnd() || !name->value.IsString()) continue;
    SchemaField entry;
    entry.name = name->value.GetString();
    entry.is_array = type != field.MemberEnd() && type->value.IsString() &&
                     std::string(type->value.GetString()) == "stringarray";
    fields.push_back(std::move(entry));
  }
  return fields;
}

bool Has(const std::vector<SchemaField>& fields, const std::string& name) {
  for (const SchemaField& field : fields) {
    if (field.name == name) return true;
  }
  return false;
}

}  // namespace

bool ModeSchema::Outputs(const std::string& name) const {
  return Has(spell_outputs, name) || Has(episode_outputs, name);
}

std::vector<ModeSchema> ModeSchemas(const PluginApi& api) {
  DocumentBuffer buffer;
  const std::string schema(buffer.Fetch(
      [&](char* data, uint32_t size) { return api.CS_GetSchema(data, size); }));
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(schema.c_str());
  std::vector<ModeSchema> modes;
  if (document.HasParseError() || !document.IsObject()) return modes;
  const auto body = document.FindMember("SpellEpisode");
  if (body == document.MemberEnd() || !body->value.IsObject()) return modes;
  const auto list = body->value.FindMember("Modes");
  if (list == body->value.MemberEnd() || !list->value.IsArray()) return modes;
  for (const auto& mode : list->value.GetArray()) {
    if (!mode.IsObject()) continue;
    const auto name = mode.FindMember("Name");
    if (name == mode.MemberEnd() || !name->value.IsString()) continue;
    ModeSchema entry;
    entry.code = name->value.GetString();
    const auto max = mode.FindMember("MaxEpisodes");
    if (max != mode.MemberEnd() && max->value.IsInt64()) entry.max_episodes = max->value.GetInt64();
    entry.spell_inputs = Fields(mode, "InputSpellFields");
    entry.episode_inputs = Fields(mode, "InputEpisodeFields");
    entry.spell_outputs = Fields(mode, "OutputSpellFields");
    entry.episode_outputs = Fields(mode, "OutputEpisodeFields");
    modes.push_back(std::move(entry));
  }
  return modes;
}

const ModeSchema* FindMode(const std::vector<ModeSchema>& schemas, const std::string& code) {
  for (const ModeSchema& mode : schemas) {
    if (mode.code == code) return &mode;
  }
  return nullptr;
}

}  // namespace zorvel::cli
