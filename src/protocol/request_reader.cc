// Request parsing: the JSON document into a Spell and its episode records.
#include "protocol/request_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include <rapidjson/document.h>

namespace zorvel {
namespace {

// Strict JSON, parsed with an explicit heap stack instead of recursion.
constexpr unsigned kParseFlags = rapidjson::kParseIterativeFlag;

constexpr char kEpisodesPrefix[] = "Episodes";
constexpr size_t kEpisodesPrefixLength = sizeof(kEpisodesPrefix) - 1;

std::string TextOf(const rapidjson::Value& value) {
  return std::string(value.GetString(), value.GetStringLength());
}

std::string_view ViewOf(const rapidjson::Value& value) {
  return std::string_view(value.GetString(), value.GetStringLength());
}

bool IsEpisodeList(const rapidjson::Value& name) {
  return name.GetStringLength() >= kEpisodesPrefixLength &&
         std::memcmp(name.GetString(), kEpisodesPrefix,
                     kEpisodesPrefixLength) == 0;
}

// A string goes into the single values (a later one replaces an earlier
// one); an array appends its string elements to the list values, skipping
// other elements; every other kind of value is ignored.
void ReadValue(const rapidjson::Value& name, const rapidjson::Value& value,
               Record& record) {
  if (value.IsString()) {
    record.Set(ViewOf(name), TextOf(value));
  } else if (value.IsArray()) {
    std::vector<std::string>& list = record.List(ViewOf(name));
    for (const rapidjson::Value& element : value.GetArray()) {
      if (element.IsString()) list.push_back(TextOf(element));
    }
  }
}

// Appends one episode record per element of `episodes`; false when the
// member is not an array of objects.
bool ReadEpisodes(const rapidjson::Value& episodes, Spell& spell) {
  if (!episodes.IsArray()) return false;
  spell.episodes.reserve(spell.episodes.size() + episodes.Size());
  for (const rapidjson::Value& element : episodes.GetArray()) {
    if (!element.IsObject()) return false;
    Record& episode = spell.episodes.emplace_back();
    for (const auto& member : element.GetObject()) {
      ReadValue(member.name, member.value, episode);
    }
  }
  return true;
}

bool ReadSpell(const rapidjson::Value& object, Spell& spell) {
  for (const auto& member : object.GetObject()) {
    if (IsEpisodeList(member.name)) {
      if (!ReadEpisodes(member.value, spell)) return false;
    } else {
      ReadValue(member.name, member.value, spell);
    }
  }
  return true;
}

std::vector<std::string> StringElements(const rapidjson::Value& root,
                                        const char* name) {
  std::vector<std::string> items;
  auto it = root.FindMember(name);
  if (it == root.MemberEnd() || !it->value.IsArray()) return items;
  for (const rapidjson::Value& element : it->value.GetArray()) {
    if (element.IsString()) items.push_back(TextOf(element));
  }
  return items;
}

MaxErrorsStatus ReadMaxErrors(const rapidjson::Value& root) {
  auto it = root.FindMember("MaxErrors");
  if (it == root.MemberEnd()) return MaxErrorsStatus::kAbsent;
  if (it->value.IsInt()) return MaxErrorsStatus::kRead;
  if (!it->value.IsString()) return MaxErrorsStatus::kAbsent;
  int32_t value = 0;
  return ReadMaxErrorsText(TextOf(it->value), &value)
             ? MaxErrorsStatus::kRead
             : MaxErrorsStatus::kUnreadable;
}

}  // namespace

bool ReadMaxErrorsText(const std::string& text, int32_t* value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  long long number = std::strtoll(begin, &end, 10);
  if (end == begin || errno == ERANGE) return false;
  if (number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *value = static_cast<int32_t>(number);
  return true;
}

bool GroupingRequest::Read(const char* text) {
  rapidjson::Document document;
  document.Parse<kParseFlags>(text);
  if (document.HasParseError() || !document.IsObject()) return false;

  auto group = document.FindMember("Group");
  if (group == document.MemberEnd() || !group->value.IsString()) return false;
  group_ = TextOf(group->value);

  max_errors_status_ = ReadMaxErrors(document);

  auto spell = document.FindMember("Spell");
  if (spell == document.MemberEnd() || !spell->value.IsObject()) return false;
  if (!ReadSpell(spell->value, spell_)) return false;

  extra_spell_items_ = StringElements(document, "ExtraSpellItems");
  extra_episode_items_ = StringElements(document, "ExtraEpisodeItems");
  return true;
}

}  // namespace zorvel
