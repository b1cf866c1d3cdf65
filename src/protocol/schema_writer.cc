// The schema document, built from the modes' constant operations and field
// lists and from the data item dictionary.
#include "protocol/schema_writer.h"

#include <string_view>

#include <rapidjson/writer.h>

#include "refdata/data_item_dictionary.h"

namespace zorvel {
namespace {

using JsonWriter = rapidjson::Writer<BoundedOutputStream>;

constexpr const char* kSchemaModeOrder[] = {"APC", "NAC", "EM", "ACC",
                                            "NCC", "PCC", "NRD"};

void Key(JsonWriter& writer, std::string_view key) {
  writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

void StringMember(JsonWriter& writer, std::string_view key,
                  std::string_view text) {
  Key(writer, key);
  writer.String(text.empty() ? "" : text.data(),
                static_cast<rapidjson::SizeType>(text.size()));
}

const char* TypeName(DataItemKind kind) {
  switch (kind) {
    case kSingle:
      return "string";
    case kArray:
      return "stringarray";
    default:
      return "default";
  }
}

// {"Name":name,"Type":type} plus, when given, the attribute pairs.
void WriteFieldObject(JsonWriter& writer, std::string_view name,
                      const char* type, const AttributeList* attributes) {
  writer.StartObject();
  StringMember(writer, "Name", name);
  StringMember(writer, "Type", type);
  if (attributes != nullptr) {
    for (const ItemAttribute& attribute : *attributes) {
      StringMember(writer, attribute.first, attribute.second);
    }
  }
  writer.EndObject();
}

void WriteInputEpisodeFields(JsonWriter& writer, const IModeProcessor& mode,
                             const FieldList& fields) {
  static const AttributeList kIdAttributes = {{"required", "true"}};
  Key(writer, "InputEpisodeFields");
  writer.StartArray();
  WriteFieldObject(writer, "Id", "string", &kIdAttributes);
  for (const std::string& name : fields) {
    WriteFieldObject(writer, name, TypeName(KindOf(name)),
                     AttributesFor(mode.GetCode(), name));
  }
  writer.EndArray();
}

// "Id" and "Errors" lead every output list, whatever the mode lists.
void WriteOutputFields(JsonWriter& writer, std::string_view key,
                       const FieldList& fields) {
  Key(writer, key);
  writer.StartArray();
  WriteFieldObject(writer, "Id", "string", nullptr);
  WriteFieldObject(writer, "Errors", "errorarray", nullptr);
  for (const std::string& name : fields) {
    WriteFieldObject(writer, name, TypeName(KindOf(name)), nullptr);
  }
  writer.EndArray();
}

// The mode's operations are called in a fixed order: code, description,
// limits, then the four field lists.
void WriteMode(JsonWriter& writer, const IModeProcessor& mode) {
  writer.StartObject();
  StringMember(writer, "Name", mode.GetCode());
  StringMember(writer, "Description", mode.GetDescription());
  Key(writer, "MaxEpisodes");
  writer.Int(mode.GetMaxEpisodes());
  Key(writer, "HideSpellOutput");
  writer.Bool(mode.GetHideSpellOutput());
  // The spell input list is fetched but only "Id" is published.
  (void)mode.GetInputSpellFields();
  Key(writer, "InputSpellFields");
  writer.StartArray();
  WriteFieldObject(writer, "Id", "string", nullptr);
  writer.EndArray();
  const FieldList& input_episode = mode.GetInputEpisodeFields();
  WriteInputEpisodeFields(writer, mode, input_episode);
  const FieldList& output_spell = mode.GetOutputSpellFields();
  WriteOutputFields(writer, "OutputSpellFields", output_spell);
  const FieldList& output_episode = mode.GetOutputEpisodeFields();
  WriteOutputFields(writer, "OutputEpisodeFields", output_episode);
  writer.EndObject();
}

}  // namespace

uint32_t WriteSchema(const ModeRegistry& registry,
                     BoundedOutputStream& stream) {
  JsonWriter writer(stream);
  writer.StartObject();
  Key(writer, "SchemaHeader");
  writer.StartObject();
  StringMember(writer, "Format", "SpellEpisode");
  StringMember(writer, "Version", "1.4");
  writer.EndObject();
  Key(writer, "SpellEpisode");
  writer.StartObject();
  Key(writer, "Modes");
  writer.StartArray();
  for (const char* code : kSchemaModeOrder) {
    auto it = registry.find(code);
    if (it != registry.end() && it->second != nullptr) {
      WriteMode(writer, *it->second);
    }
  }
  writer.EndArray();
  writer.EndObject();
  writer.EndObject();
  stream.Terminate();
  return stream.position();
}

}  // namespace zorvel
