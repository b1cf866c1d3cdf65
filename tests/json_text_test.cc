// Requests the host writes from CSV cells without a JSON writer object: the
// text must be byte for byte what RapidJSON's writer makes of the same
// values, whatever bytes the cells hold and however long they are.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "column_mapping.h"
#include "json_text.h"

namespace zorvel::cli {
namespace {

std::string WrittenByRapidJson(const std::string& value) {
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
  return std::string(text.GetString(), text.GetSize());
}

// Random text mixing the bytes a writer treats specially with plain ones,
// UTF-8 and bytes that are not UTF-8 at all; or, with `plain`, only the
// pieces it writes as they are.
std::string RandomText(std::mt19937& random, size_t max_size, bool plain = false) {
  static const std::vector<std::string> kPieces = {
      "\"", "\\", "\b", "\f", "\n", "\r", "\t", std::string(1, '\0'), "\x01", "\x1f",
      "/", "\x7f", "a", "Z9", " ", ";", "\xc3\xa9", "\xe2\x82\xac", "\xff", "\x80"};
  constexpr size_t kPlainFrom = 10;
  const size_t from = plain ? kPlainFrom : 0;
  std::string text;
  const size_t size = std::uniform_int_distribution<size_t>(0, max_size)(random);
  while (text.size() < size) text += kPieces[from + random() % (kPieces.size() - from)];
  return text;
}

TEST(JsonText, StringsAreWrittenAsRapidJsonWritesThem) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string value(1, static_cast<char>(byte));
    std::string text = "prefix";
    AppendJsonString(&text, value);
    EXPECT_EQ(text, "prefix" + WrittenByRapidJson(value)) << "byte " << byte;
  }
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    const std::string value = RandomText(random, 40);
    std::string text;
    AppendJsonString(&text, value);
    ASSERT_EQ(text, WrittenByRapidJson(value));
    ASSERT_LE(text.size(), JsonStringBound(value.size()));
  }
}

// The text a parsed request becomes when RapidJSON writes it again.
std::string Rewritten(const std::string& request) {
  rapidjson::Document document;
  document.Parse(request.data(), request.size());
  if (document.HasParseError()) return "not JSON";
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  document.Accept(writer);
  return std::string(text.GetString(), text.GetSize());
}

TEST(ColumnMapping, RequestsAreWrittenAsRapidJsonWritesThem) {
  ModeSchema mode;
  mode.code = "TST";
  mode.spell_inputs = {{"Id", false}, {"Admitted", false}};
  mode.episode_inputs = {{"Id", false}, {"Age", false}, {"Diagnosis", true},
                         {"Procedure", true}, {"Note\"\\", false}};
  const std::vector<std::string> header = {"SpellId",     "Admitted",    "Age",
                                           "Diagnosis_1", "Diagnosis_2", "Diagnosis_10",
                                           "Procedure",   "Note\"\\"};
  ColumnMapping mapping;
  ASSERT_TRUE(mapping.Build(mode, header, "SpellId", {})) << mapping.error();

  std::mt19937 random(11);
  std::string room;
  for (int i = 0; i < 1500; ++i) {
    // Now and then a cell far longer than the text's first allocation;
    // half the rows without a byte to escape.
    const size_t max_size = i % 50 == 0 ? 5000 : 20;
    std::vector<RowCells> rows(random() % 5);
    for (auto& row : rows) {
      const bool plain = random() % 2 == 0;
      for (size_t column = 0; column < header.size(); ++column) {
        row.push_back(random() % 3 == 0 ? "" : RandomText(random, max_size, plain));
      }
    }
    std::vector<const RowCells*> pointers;
    for (const auto& row : rows) pointers.push_back(&row);
    mapping.set_trace(i % 2 == 1);
    const std::string spell_id = RandomText(random, 8);
    const std::string request(mapping.WriteRequest(spell_id, pointers, &room));
    ASSERT_EQ(room[request.size()], '\0');
    ASSERT_EQ(request, Rewritten(request)) << "request " << i;

    rapidjson::Document document;
    document.Parse(request.data(), request.size());
    const auto& spell = document["Spell"];
    ASSERT_EQ(std::string(spell["Id"].GetString(), spell["Id"].GetStringLength()), spell_id);
    ASSERT_EQ(spell["Episodes"].Size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
      const auto& episode = spell["Episodes"][static_cast<rapidjson::SizeType>(r)];
      EXPECT_EQ(episode["Id"].GetString(), std::to_string(r + 1));
      // Each single value as its cell holds it, or left out when empty.
      for (const auto& [name, column] : {std::pair{"Age", 2}, std::pair{"Note\"\\", 7}}) {
        const std::string_view cell = rows[r][column];
        const auto found = episode.FindMember(name);
        if (cell.empty()) {
          EXPECT_EQ(found, episode.MemberEnd()) << name;
        } else {
          ASSERT_NE(found, episode.MemberEnd()) << name;
          EXPECT_EQ(std::string(found->value.GetString(), found->value.GetStringLength()), cell);
        }
      }
      // The diagnoses by their numbered columns, trailing empty ones dropped.
      std::vector<std::string_view> diagnoses = {rows[r][3], rows[r][4], rows[r][5]};
      while (!diagnoses.empty() && diagnoses.back().empty()) diagnoses.pop_back();
      const auto list = episode.FindMember("Diagnosis");
      ASSERT_EQ(list != episode.MemberEnd(), !diagnoses.empty());
      if (diagnoses.empty()) continue;
      ASSERT_EQ(list->value.Size(), diagnoses.size());
      for (size_t d = 0; d < diagnoses.size(); ++d) {
        const auto& value = list->value[static_cast<rapidjson::SizeType>(d)];
        EXPECT_EQ(std::string_view(value.GetString(), value.GetStringLength()), diagnoses[d]);
      }
    }
  }
}

}  // namespace
}  // namespace zorvel::cli
