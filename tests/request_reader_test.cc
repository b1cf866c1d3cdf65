// GroupingRequest: what a request document is read into, and which shapes
// are refused.
#include "protocol/request_reader.h"

#include <gtest/gtest.h>

namespace zorvel {
namespace {

using Strings = std::vector<std::string>;

TEST(RequestReader, StringsAreSingleValuesAndArraysListValues) {
  GroupingRequest request;
  ASSERT_TRUE(request.Read(
      R"({"Group":"APC","Spell":{"Id":"s","Age":"40","Age":"41","N":3,)"
      R"("B":true,"Z":null,"O":{"a":"b"},"Diagnosis":["A1",2,"B2",null],)"
      R"("Diagnosis":["C3"],"Empty":[]}})"));
  EXPECT_EQ(request.group(), "APC");
  const Spell& spell = request.spell();
  EXPECT_EQ(spell.singles, (SingleValues{{"Age", "41"}, {"Id", "s"}}));
  EXPECT_EQ(spell.lists,
            (ListValues{{"Diagnosis", {"A1", "B2", "C3"}}, {"Empty", {}}}));
  EXPECT_TRUE(spell.episodes.empty());
  EXPECT_FALSE(spell.success);
  EXPECT_TRUE(spell.errors.empty());
  EXPECT_EQ(spell.output, &spell);
}

TEST(RequestReader, MembersBeginningWithEpisodesHoldEpisodes) {
  GroupingRequest request;
  ASSERT_TRUE(request.Read(
      R"({"Group":"X","Spell":{"Episodes":[{"Id":"1"}],"Id":"s",)"
      R"("EpisodesMore":[{"Id":"2","Procedure":["P1"]},{}],"Episode":"e"}})"));
  const Spell& spell = request.spell();
  ASSERT_EQ(spell.episodes.size(), 3u);
  EXPECT_EQ(spell.episodes[0].singles, (SingleValues{{"Id", "1"}}));
  EXPECT_EQ(spell.episodes[1].lists, (ListValues{{"Procedure", {"P1"}}}));
  EXPECT_TRUE(spell.episodes[2].singles.empty());
  EXPECT_EQ(spell.singles, (SingleValues{{"Episode", "e"}, {"Id", "s"}}));
}

TEST(RequestReader, ValuesKeepEmbeddedNulAndBytesAsReceived) {
  GroupingRequest request;
  ASSERT_TRUE(request.Read("{\"Group\":\"X\",\"Spell\":{\"A\":\" a\\u0000b "
                           "\xC3\xA9\"}}"));
  EXPECT_EQ(request.spell().singles.at("A"),
            std::string(" a\0b \xC3\xA9", 7));
}

TEST(RequestReader, ExtraItemsKeepTheirStringElements) {
  GroupingRequest request;
  ASSERT_TRUE(request.Read(
      R"({"Group":"X","Spell":{},"ExtraSpellItems":["A",1,"B"],)"
      R"("ExtraEpisodeItems":"C"})"));
  EXPECT_EQ(request.extra_spell_items(), (Strings{"A", "B"}));
  EXPECT_TRUE(request.extra_episode_items().empty());
}

TEST(RequestReader, MaxErrorsIsReadFromIntegersAndLeadingDigits) {
  struct Case {
    const char* value;
    MaxErrorsStatus status;
  };
  const Case cases[] = {
      {"1", MaxErrorsStatus::kRead},
      {"\"1\"", MaxErrorsStatus::kRead},
      {"\" -7x\"", MaxErrorsStatus::kRead},
      {"\"x7\"", MaxErrorsStatus::kUnreadable},
      {"\"\"", MaxErrorsStatus::kUnreadable},
      {"\"2147483648\"", MaxErrorsStatus::kUnreadable},
      {"1.5", MaxErrorsStatus::kAbsent},
      {"null", MaxErrorsStatus::kAbsent},
  };
  for (const Case& c : cases) {
    GroupingRequest request;
    std::string text =
        std::string(R"({"Group":"X","Spell":{},"MaxErrors":)") + c.value + "}";
    ASSERT_TRUE(request.Read(text.c_str())) << c.value;
    EXPECT_EQ(request.max_errors_status(), c.status) << c.value;
  }
  GroupingRequest absent;
  ASSERT_TRUE(absent.Read(R"({"Group":"X","Spell":{}})"));
  EXPECT_EQ(absent.max_errors_status(), MaxErrorsStatus::kAbsent);
}

TEST(RequestReader, ReadMaxErrorsTextFollowsLeadingIntegerRules) {
  int32_t value = 0;
  EXPECT_TRUE(ReadMaxErrorsText("  +12abc", &value));
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(ReadMaxErrorsText("-2147483648", &value));
  EXPECT_EQ(value, INT32_MIN);
  EXPECT_FALSE(ReadMaxErrorsText("abc", &value));
  EXPECT_FALSE(ReadMaxErrorsText("+", &value));
  EXPECT_FALSE(ReadMaxErrorsText("2147483648", &value));
}

TEST(RequestReader, RefusesTextsThatAreNotRequests) {
  const char* const texts[] = {
      "",
      "{",
      "{\"Group\":\"X\",\"Spell\":{}}x",
      "{\"Group\":\"X\",\"Spell\":{}} {}",
      "/*c*/{\"Group\":\"X\",\"Spell\":{}}",
      "{\"Group\":\"X\",\"Spell\":{\"A\":NaN}}",
      "{\"Group\":\"X\",\"Spell\":{\"A\":[1,]}}",
      "[\"Group\"]",
      "{\"Spell\":{}}",
      "{\"Group\":[\"X\"],\"Spell\":{}}",
      "{\"Group\":\"X\"}",
      "{\"Group\":\"X\",\"Spell\":null}",
      "{\"Group\":\"X\",\"Spell\":{\"Episodes\":\"e\"}}",
      "{\"Group\":\"X\",\"Spell\":{\"Episodes\":[{},\"e\"]}}",
  };
  for (const char* text : texts) {
    GroupingRequest request;
    EXPECT_FALSE(request.Read(text)) << text;
  }
}

}  // namespace
}  // namespace zorvel
