// Tests of the neonatal critical care mode, through CS_Prepare/CS_Process on
// a small packed table set, and of its internal items on the mode object.
#include "modes/ncc_processor.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "plugin/zorvel_plugin.h"
#include "support/critical_care_requests.h"
#include "support/mode_test_support.h"

namespace zorvel {
namespace testing {
namespace {

constexpr const char* kDischargeDate = "20191231";

// One day of neonatal care on day `day` of 2019: a nine-day-old term baby of
// 3.2 kg on unit function "01", not discharged that day.
JsonObject NccDay(int day, const std::vector<std::string>& codes) {
  JsonObject episode;
  episode.Set("Id", std::to_string(day + 1))
      .Set("CCDate", NthDay(day))
      .Set("DISDATE", kDischargeDate)
      .Set("NCC_CCUF", "01")
      .Set("Age_days", "9")
      .Set("DISMETH", "1")
      .Set("GestLen", "38")
      .Set("PerWt", "3.2")
      .List("CCAC", codes);
  return episode;
}

// The response of a one-spell request "N" with `days`.
std::string Group(const std::vector<JsonObject>& days,
                  const std::vector<std::string>& extra_items) {
  return Process(Request("NCC", "N", days, extra_items));
}

// The one-episode response text around the episode's members `members`.
std::string OneDayResponse(const std::string& members) {
  return "{\"Success\":true,\"Id\":\"N\",\"Episodes\":[{\"Id\":\"1\"," +
         members + "}]}";
}

class NccProcessorTest : public PreparedTablesTest<NccProcessorTest> {
 public:
  static TableTexts Texts() { return CriticalCareTableTexts(); }
};

struct WeightCase {
  const char* weight;
  const char* band;
  const char* error;  // message of the "PerWt" error, or empty
};

TEST_F(NccProcessorTest, WeightBandsAtTheirBoundaries) {
  const WeightCase kCases[] = {
      {"1.5", "0001_2000", ""},     {"2.0", "0001_2000", ""},
      {"2", "0001_2000", ""},       {"2.000", "0001_2000", ""},
      {".5", "0001_2000", ""},      {"0.001", "0001_2000", ""},
      {"2.01", "2001_9999", ""},    {"2.001", "2001_9999", ""},
      {"9.999", "2001_9999", ""},   {"5.", "2001_9999", ""},
      {"10", "10", "is invalid"},   {"12", "12", "is invalid"},
      {"123.4", "123.4", "is invalid"},
      {"1234.5", "1234.5", "is invalid"},
      {"0", "0", "is invalid"},     {"0.000", "0.000", "is invalid"},
      {"1.2345", "1.2345", "is invalid"},
      {"1.2.3", "1.2.3", "is invalid"},
      {"1,5", "1,5", "is invalid"}, {"-1", "-1", "is invalid"},
      {" 1.5", " 1.5", "is invalid"},
      {".", ".", "is invalid"},     {"", "", "is blank"},
  };
  for (const WeightCase& c : kCases) {
    const std::string band = c.band;
    const std::string expected =
        c.error[0] == '\0'
            ? OneDayResponse("\"Success\":true,\"HRG\":\"XA04Z\","
                             "\"PerWtBand\":\"" + band + "\"")
            : OneDayResponse("\"Success\":false,\"Errors\":[{\"Field\":"
                             "\"PerWt\",\"Message\":\"" + std::string(c.error) +
                             "\",\"Value\":\"" + band + "\",\"Index\":\"\"}],"
                             "\"HRG\":\"UZ01Z\",\"PerWtBand\":\"" + band + "\"");
    EXPECT_EQ(Group({NccDay(0, {"14"}).Set("PerWt", c.weight)}, {"PerWtBand"}),
              expected)
        << "weight \"" << c.weight << "\"";
  }
}

TEST_F(NccProcessorTest, MissingWeightIsBlankAndGivenBandIsKept) {
  JsonObject no_weight;
  no_weight.Set("Id", "1").Set("CCDate", "20190105")
      .Set("DISDATE", kDischargeDate).Set("NCC_CCUF", "01")
      .Set("Age_days", "9").Set("DISMETH", "1").Set("GestLen", "38")
      .List("CCAC", {"14"});
  EXPECT_EQ(Group({no_weight}, {"PerWtBand"}),
            OneDayResponse("\"Success\":false,\"Errors\":[{\"Field\":\"PerWt\","
                           "\"Message\":\"is blank\",\"Value\":\"\","
                           "\"Index\":\"\"}],\"HRG\":\"UZ01Z\","
                           "\"PerWtBand\":\"\""));
  EXPECT_EQ(Group({NccDay(0, {"14"}).Set("PerWtBand", "0001_2000")},
                  {"PerWtBand"}),
            OneDayResponse("\"Success\":true,\"HRG\":\"XA04Z\","
                           "\"PerWtBand\":\"0001_2000\""));
}

struct PrematurityCase {
  const char* age_days;
  const char* gestation;
  const char* weight;
  bool premature;
};

TEST_F(NccProcessorTest, PrematurityAtItsBoundaries) {
  const PrematurityCase kCases[] = {
      {"2", "35", "3.2", true},  {"3", "35", "3.2", false},
      {"7", "34", "3.2", true},  {"8", "34", "3.2", false},
      {"9", "33", "3.2", true},  {"0", "36", "3.2", false},
      {"2", "38", "1.8", true},  {"3", "38", "1.8", false},
  };
  for (const PrematurityCase& c : kCases) {
    const std::string codes = c.premature ? "[\"14\",\"09\"]" : "[\"14\"]";
    EXPECT_EQ(Group({NccDay(0, {"14"})
                         .Set("Age_days", c.age_days)
                         .Set("GestLen", c.gestation)
                         .Set("PerWt", c.weight)},
                    {"CCAC"}),
              OneDayResponse("\"Success\":true,\"HRG\":\"XA04Z\",\"CCAC\":" +
                             codes))
        << "age " << c.age_days << ", gestation " << c.gestation
        << ", weight " << c.weight;
  }
}

TEST_F(NccProcessorTest, MissingGestationIsBlankWhenTheTablesCheckIt) {
  JsonObject day;
  day.Set("Id", "1").Set("CCDate", "20190105").Set("DISDATE", kDischargeDate)
      .Set("NCC_CCUF", "01").Set("Age_days", "9").Set("DISMETH", "1")
      .Set("PerWt", "3.2").List("CCAC", {"14"});
  EXPECT_EQ(Group({day}, {"CCAC", "GroupingMethodFlag"}),
            OneDayResponse("\"Success\":false,\"Errors\":[{\"Field\":"
                           "\"GestLen\",\"Message\":\"is blank\",\"Value\":"
                           "\"\",\"Index\":\"\"}],\"HRG\":\"UZ01Z\","
                           "\"CCAC\":[\"14\"],\"GroupingMethodFlag\":\"U\""));

  // Without a "GestLen" validation list the missing gestation counts as 0
  // weeks, which is premature.
  PackedTables unchecked(CriticalCareTableTexts(false));
  CS_Prepare(unchecked.dir().c_str());
  EXPECT_EQ(Group({day}, {"CCAC"}),
            OneDayResponse("\"Success\":true,\"HRG\":\"XA04Z\","
                           "\"CCAC\":[\"14\",\"09\"]"));
}

TEST_F(NccProcessorTest, ImpliedCodesFollowInTheirOrder) {
  JsonObject death_day = NccDay(0, {});
  death_day.Set("DISDATE", NthDay(0)).Set("DISMETH", "4")
      .Set("GestLen", "33");
  EXPECT_EQ(Group({death_day}, {"CCAC"}),
            OneDayResponse("\"Success\":true,\"HRG\":\"XA08Z\","
                           "\"CCAC\":[\"99\",\"09\",\"01\"]"));
}

TEST_F(NccProcessorTest, DeathCountsOnlyOnTheDayOrByUnitThirteenCode03) {
  std::vector<JsonObject> days = {
      NccDay(0, {"03"}).Set("DISMETH", "4"),
      NccDay(1, {"03"}).Set("NCC_CCUF", "13"),
      NccDay(2, {"14", "03"}).Set("NCC_CCUF", "13"),
      NccDay(3, {"03"}),
  };
  EXPECT_EQ(Group(days, {"CCAC"}),
            "{\"Success\":true,\"Id\":\"N\",\"Episodes\":["
            "{\"Id\":\"1\",\"Success\":true,\"HRG\":\"XA05Z\","
            "\"CCAC\":[\"03\"]},"
            "{\"Id\":\"2\",\"Success\":true,\"HRG\":\"XA08Z\","
            "\"CCAC\":[\"03\",\"01\"]},"
            "{\"Id\":\"3\",\"Success\":true,\"HRG\":\"XA08Z\","
            "\"CCAC\":[\"14\",\"03\",\"01\"]},"
            "{\"Id\":\"4\",\"Success\":true,\"HRG\":\"XA05Z\","
            "\"CCAC\":[\"03\"]}]}");
}

TEST_F(NccProcessorTest, TableErrorCodesUz21AndUz11BecomeEpisodeErrors) {
  std::vector<JsonObject> days = {
      NccDay(0, {"16"}),
      NccDay(1, {"16"}).Set("NCC_CCUF", "14"),
      NccDay(2, {"21", "17"}),
  };
  EXPECT_EQ(Group(days, {"GroupingMethodFlag"}),
            "{\"Success\":true,\"Id\":\"N\",\"Episodes\":["
            "{\"Id\":\"1\",\"Success\":false,\"Errors\":[{\"Field\":\"CCAC\","
            "\"Message\":\"UZ21 - CCAC Inappropriate for NCC\","
            "\"Value\":\"16\",\"Index\":\"0\"}],\"HRG\":\"UZ01Z\","
            "\"GroupingMethodFlag\":\"U\"},"
            "{\"Id\":\"2\",\"Success\":true,\"HRG\":\"XA07Z\"},"
            "{\"Id\":\"3\",\"Success\":false,\"Errors\":[{\"Field\":\"CCAC\","
            "\"Message\":\"UZ11 - Neonatal Critical Care Error\","
            "\"Value\":\"17\",\"Index\":\"1\"}],\"HRG\":\"UZ01Z\","
            "\"GroupingMethodFlag\":\"U\"}]}");
}

TEST_F(NccProcessorTest, NextCodeAfterTheDominantOneRefinesTheHrg) {
  EXPECT_EQ(Group({NccDay(0, {"11", "21"}), NccDay(1, {"21", "11"})}, {}),
            "{\"Success\":true,\"Id\":\"N\",\"Episodes\":["
            "{\"Id\":\"1\",\"Success\":true,\"HRG\":\"XA01A\"},"
            "{\"Id\":\"2\",\"Success\":true,\"HRG\":\"XA01Z\"}]}");
}

TEST_F(NccProcessorTest, FailedCheckAddsNoCodes) {
  JsonObject no_codes;
  no_codes.Set("Id", "1").Set("CCDate", "2019010").Set("DISDATE", "20190105")
      .Set("NCC_CCUF", "01").Set("Age_days", "0").Set("DISMETH", "4")
      .Set("GestLen", "33").Set("PerWt", "1.1");
  EXPECT_EQ(Group({no_codes}, {"CCAC", "GroupingMethodFlag"}),
            OneDayResponse("\"Success\":false,\"Errors\":[{\"Field\":"
                           "\"CCDate\",\"Message\":\"is invalid\",\"Value\":"
                           "\"2019010\",\"Index\":\"\"}],\"HRG\":\"UZ01Z\","
                           "\"CCAC\":[],\"GroupingMethodFlag\":\"U\""));
}

TEST_F(NccProcessorTest, GroupsASpellOf250Days) {
  const char* kCodes[] = {"11", "14", "03", "09"};
  const char* kHrgs[] = {"XA01Z", "XA04Z", "XA05Z", "XA05Z"};
  std::vector<JsonObject> days;
  for (int i = 0; i < 250; ++i) days.push_back(NccDay(i, {kCodes[i % 4]}));
  rapidjson::Document doc;
  doc.Parse(Group(days, {}).c_str());
  ASSERT_FALSE(doc.HasParseError());
  EXPECT_TRUE(doc["Success"].GetBool());
  const auto& episodes = doc["Episodes"];
  ASSERT_EQ(episodes.Size(), 250u);
  for (int i = 0; i < 250; ++i) {
    EXPECT_TRUE(episodes[i]["Success"].GetBool()) << "day " << i + 1;
    EXPECT_STREQ(episodes[i]["HRG"].GetString(), kHrgs[i % 4])
        << "day " << i + 1;
  }
}

TEST_F(NccProcessorTest, TwoRequestsInARowAnswerAlike) {
  const std::string request = Request(
      "NCC", "N", {NccDay(0, {"16"}), NccDay(1, {"14"})}, {"CCAC"});
  const std::string expected =
      "{\"Success\":true,\"Id\":\"N\",\"Episodes\":["
      "{\"Id\":\"1\",\"Success\":false,\"Errors\":[{\"Field\":\"CCAC\","
      "\"Message\":\"UZ21 - CCAC Inappropriate for NCC\","
      "\"Value\":\"16\",\"Index\":\"0\"}],\"HRG\":\"UZ01Z\","
      "\"CCAC\":[\"16\"]},"
      "{\"Id\":\"2\",\"Success\":true,\"HRG\":\"XA04Z\",\"CCAC\":[\"14\"]}]}";
  EXPECT_EQ(Process(request), expected);
  EXPECT_EQ(Process(request), expected);
}

TEST(NccProcessorObjectTest, GroupBeforeSetUpReportsNotInitialised) {
  NCCProcessor mode;
  Spell spell;
  spell.episodes.resize(2);
  EXPECT_FALSE(mode.Group(spell));
  ASSERT_EQ(spell.errors.size(), 1u);
  EXPECT_EQ(spell.errors[0],
            GroupingError::Free("PLUGIN",
                                "NCC Processor has not been initalised"));
}

TEST(NccProcessorObjectTest, RecordsDominantCodeAndGate) {
  PackedTables tables(CriticalCareTableTexts());
  ReferenceData data;
  ASSERT_EQ(data.LoadAll(tables.dir()), LoadStatus::kOk);
  NCCProcessor mode;
  ASSERT_TRUE(mode.SetUp(data));

  Spell spell;
  spell.episodes.resize(1);
  Record& day = spell.episodes[0];
  for (const auto& item : {std::pair<const char*, const char*>{"CCDate", "20190301"},
                           {"DISDATE", "20190302"}, {"NCC_CCUF", "01"},
                           {"Age_days", "9"}, {"DISMETH", "1"},
                           {"GestLen", "38"}, {"PerWt", "2.5"}}) {
    day.Set(item.first, item.second);
  }
  day.List("CCAC") = {"21", "14"};
  ASSERT_TRUE(mode.Group(spell));
  EXPECT_TRUE(spell.success);
  EXPECT_EQ(day.Single("PerWtBand"), "2001_9999");
  EXPECT_EQ(day.Single("DomCC"), "14");
  EXPECT_EQ(day.Single("GateTriggerPos"), "1");
  EXPECT_EQ(day.Single("GateTriggerField"), "CCAC");
  EXPECT_EQ(day.Single("HRG"), "XA04Z");
}

}  // namespace
}  // namespace testing
}  // namespace zorvel
