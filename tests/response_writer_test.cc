// The response document: key order, fields by kind, error objects.
#include "protocol/response_writer.h"

#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

std::string Render(const Spell& spell, const OutputFields* fields) {
  std::vector<char> buffer(1 << 16);
  BoundedOutputStream stream(buffer.data(), static_cast<uint32_t>(buffer.size()));
  uint32_t count = WriteResponse(spell, fields, stream);
  std::string text(buffer.data());
  EXPECT_EQ(count, text.size() + 1);
  return text;
}

std::string RenderError(const GroupingError& error, std::string_view context) {
  std::vector<char> buffer(4096);
  BoundedOutputStream stream(buffer.data(), 4096);
  JsonWriter writer(stream);
  WriteErrorObject(writer, error, context);
  stream.Terminate();
  return buffer.data();
}

TEST(ResponseWriter, EmptyResponseIsAnEmptyObject) {
  char buffer[8];
  BoundedOutputStream stream(buffer, sizeof(buffer));
  EXPECT_EQ(WriteEmptyResponse(stream), 3u);
  EXPECT_STREQ(buffer, "{}");
}

TEST(ResponseWriter, GroupedSpellWritesFieldsInListOrder) {
  Spell spell;
  spell.success = true;
  spell.Set("Id", "s1");
  spell.Set("HRG", "AB12C");
  spell.Set("DiagHRG", "internal");
  spell.List("Diagnosis") = {"A01", "B02"};
  spell.List("Procedure");
  Record& episode = spell.episodes.emplace_back();
  episode.success = true;
  episode.Set("Id", "e1");
  episode.Set("HRG", "XY99Z");
  episode.Set("Age", "40");
  episode.List("UnbundledHRG") = {"U1"};
  FieldNames spell_fields = {"HRG", "DiagHRG", "Procedure", "Diagnosis",
                             "SpellTrimpoint"};
  FieldNames episode_fields = {"UnbundledHRG", "HRG"};
  FieldNames extra_spell = {"Age", "Id"};
  FieldNames extra_episode = {"Age", "Nonsense"};
  OutputFields fields{&spell_fields, &episode_fields, &extra_spell,
                      &extra_episode};
  EXPECT_EQ(Render(spell, &fields),
            "{\"Success\":true,\"Id\":\"s1\",\"HRG\":\"AB12C\",\"Procedure\":[],"
            "\"Diagnosis\":[\"A01\",\"B02\"],\"Id\":\"s1\",\"Episodes\":[{"
            "\"Id\":\"e1\",\"Success\":true,\"UnbundledHRG\":[\"U1\"],\"HRG\":"
            "\"XY99Z\",\"Age\":\"40\"}]}");
}

TEST(ResponseWriter, SpellOutputFieldsComeFromTheOutputRecord) {
  Spell spell;
  spell.Set("Id", "s1");
  spell.Set("HRG", "spell");
  Record& episode = spell.episodes.emplace_back();
  episode.Set("HRG", "episode");
  spell.output = &spell.episodes[0];
  FieldNames spell_fields = {"HRG"};
  FieldNames none;
  OutputFields fields{&spell_fields, &none, &none, &none};
  EXPECT_EQ(Render(spell, &fields),
            "{\"Success\":false,\"Id\":\"s1\",\"HRG\":\"episode\",\"Episodes\":"
            "[{\"Success\":false}]}");
}

TEST(ResponseWriter, NullOutputRecordLeavesSpellFieldsOut) {
  Spell spell;
  spell.Set("Id", "s1");
  spell.output = nullptr;
  FieldNames none;
  OutputFields fields{&none, &none, &none, &none};
  EXPECT_EQ(Render(spell, &fields), "{\"Success\":false,\"Episodes\":[]}");
}

TEST(ResponseWriter, UngroupedSpellWritesOnlyFlagsErrorsAndEpisodeIds) {
  Spell spell;
  spell.Set("Id", "s1");
  spell.Set("HRG", "AB12C");
  spell.AddError(GroupingError::Free("PLUGIN", "Internal grouping processor error"));
  Record& episode = spell.episodes.emplace_back();
  episode.Set("Id", "e1");
  episode.Set("HRG", "XY99Z");
  episode.AddError(GroupingError::WithPosition("Diagnosis", "Q99", 2, kIsInvalid));
  EXPECT_EQ(Render(spell, nullptr),
            "{\"Success\":false,\"Errors\":[{\"Field\":\"PLUGIN\",\"Message\":"
            "\"Internal grouping processor error\",\"Value\":\"\",\"Index\":\"\","
            "\"Section\":\"episode\"}],\"Episodes\":[{\"Id\":\"e1\",\"Success\":"
            "false,\"Errors\":[{\"Field\":\"Diagnosis\",\"Message\":\"is invalid\","
            "\"Value\":\"Q99\",\"Index\":\"2\"}]}]}");
}

TEST(ResponseWriter, ErrorObjectsByKindOfEntry) {
  EXPECT_EQ(RenderError(GroupingError::WithValue("Age", "x", kIsBlank), "episode"),
            "{\"Field\":\"Age\",\"Message\":\"is blank\",\"Value\":\"x\","
            "\"Index\":\"\"}");
  EXPECT_EQ(RenderError(GroupingError::WithValue("", "", kSpellExceeds87Episodes),
                        "spell"),
            "{\"Field\":\"\",\"Message\":\"Spell exceeds 87 episodes\",\"Value\":"
            "\"\",\"Index\":\"\",\"Section\":\"episode\"}");
  EXPECT_EQ(RenderError(GroupingError::WithPosition("Procedure", "P1", -3,
                                                    kUz05InvalidProcedure),
                        "episode"),
            "{\"Field\":\"Procedure\",\"Message\":\"UZ05 - Invalid procedure for "
            "Casemix grouping purposes\",\"Value\":\"P1\",\"Index\":\"-3\"}");
  GroupingError spell_section = GroupingError::Free("F", "own text");
  spell_section.section = kSpellSection;
  EXPECT_EQ(RenderError(spell_section, "spell"),
            "{\"Field\":\"F\",\"Message\":\"own text\",\"Value\":\"\",\"Index\":"
            "\"\"}");
  EXPECT_EQ(RenderError(spell_section, "episode"),
            "{\"Field\":\"F\",\"Message\":\"own text\",\"Value\":\"\",\"Index\":"
            "\"\",\"Section\":\"spell\"}");
  GroupingError odd = GroupingError::WithValue("F", "v", 99);
  odd.section = 7;
  EXPECT_EQ(RenderError(odd, "episode"),
            "{\"Field\":\"F\",\"Message\":\"\",\"Value\":\"v\",\"Index\":\"\"}");
}

TEST(ResponseWriter, IdenticalErrorsAreWrittenTwice) {
  Spell spell;
  Record& episode = spell.episodes.emplace_back();
  GroupingError error = GroupingError::WithValue("SEX", "9", kIsInvalid);
  episode.AddError(error);
  episode.AddError(error);
  EXPECT_EQ(Render(spell, nullptr),
            "{\"Success\":false,\"Episodes\":[{\"Success\":false,\"Errors\":["
            "{\"Field\":\"SEX\",\"Message\":\"is invalid\",\"Value\":\"9\","
            "\"Index\":\"\"},{\"Field\":\"SEX\",\"Message\":\"is invalid\","
            "\"Value\":\"9\",\"Index\":\"\"}]}]}");
}

TEST(ResponseWriter, StringsEscapeControlCharactersOnly) {
  Spell spell;
  Record& episode = spell.episodes.emplace_back();
  episode.Set("Id", std::string("\x01\x1f\"\\\n\t\b\f\r/\x7f\x80\xff\0.", 15));
  EXPECT_EQ(Render(spell, nullptr),
            "{\"Success\":false,\"Episodes\":[{\"Id\":\"\\u0001\\u001F\\\"\\\\\\n"
            "\\t\\b\\f\\r/\x7f\x80\xff\\u0000.\",\"Success\":false}]}");
}

TEST(ResponseWriter, TruncatedResponseCountsTheFullLength) {
  Spell spell;
  spell.episodes.resize(3);
  const std::string full =
      "{\"Success\":false,\"Episodes\":[{\"Success\":false},{\"Success\":false},"
      "{\"Success\":false}]}";
  char buffer[20];
  BoundedOutputStream stream(buffer, sizeof(buffer));
  EXPECT_EQ(WriteResponse(spell, nullptr, stream), full.size());
  EXPECT_EQ(std::string(buffer), full.substr(0, 19));
}

}  // namespace
}  // namespace zorvel
