// Tests of the paediatric critical care mode, through CS_Prepare/CS_Process
// on a small packed table set, and of its internal items on the mode object.
#include "modes/pcc_processor.h"

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

// One day of paediatric critical care on day `day` of 2019.
JsonObject PccDay(int day, const std::vector<std::string>& codes,
                  const std::string& dismeth = "1") {
  JsonObject episode;
  episode.Set("Id", std::to_string(day + 1))
      .Set("CCDate", NthDay(day))
      .Set("DISDATE", kDischargeDate)
      .Set("DISMETH", dismeth)
      .Set("PCC_CCUF", "01")
      .List("CCAC", codes);
  return episode;
}

// `count` days from day 0, each with `codes`.
std::vector<JsonObject> SameDays(int count,
                                 const std::vector<std::string>& codes) {
  std::vector<JsonObject> days;
  for (int i = 0; i < count; ++i) days.push_back(PccDay(i, codes));
  return days;
}

// The "HRG" and first activity code of each episode of a parsed response.
struct DayOutcome {
  std::string hrg;
  std::string first_code;
};

std::vector<DayOutcome> Outcomes(const std::string& response) {
  rapidjson::Document doc;
  doc.Parse(response.c_str());
  std::vector<DayOutcome> outcomes;
  if (doc.HasParseError() || !doc.HasMember("Episodes")) return outcomes;
  for (const auto& episode : doc["Episodes"].GetArray()) {
    DayOutcome outcome;
    if (episode.HasMember("HRG")) outcome.hrg = episode["HRG"].GetString();
    if (episode.HasMember("CCAC") && !episode["CCAC"].Empty()) {
      outcome.first_code = episode["CCAC"][0].GetString();
    }
    outcomes.push_back(outcome);
  }
  return outcomes;
}

class PccProcessorTest : public PreparedTablesTest<PccProcessorTest> {
 public:
  static TableTexts Texts() { return CriticalCareTableTexts(); }
};

TEST_F(PccProcessorTest, GroupsEachDayByDominantCodeInTwoStages) {
  std::vector<JsonObject> days = {
      PccDay(0, {"60"}).List("Procedure", {"x581"}),
      PccDay(1, {"60"}),
      PccDay(2, {"30"}).List("Diagnosis", {"j960"}),
      PccDay(3, {"30"}),
      PccDay(4, {"21", "20"}),
      PccDay(5, {"20", "21"}),
      PccDay(6, {"00"}),
  };
  EXPECT_EQ(
      Process(Request("PCC", "S1", days, {"CCAC", "Diagnosis", "Procedure"})),
      "{\"Success\":true,\"Id\":\"S1\",\"Episodes\":["
      "{\"Id\":\"1\",\"Success\":true,\"HRG\":\"XB01A\",\"CCAC\":[\"60\"],"
      "\"Diagnosis\":[],\"Procedure\":[\"X581\"]},"
      "{\"Id\":\"2\",\"Success\":true,\"HRG\":\"XB01Z\",\"CCAC\":[\"60\"],"
      "\"Diagnosis\":[],\"Procedure\":[]},"
      "{\"Id\":\"3\",\"Success\":true,\"HRG\":\"XB03A\",\"CCAC\":[\"30\"],"
      "\"Diagnosis\":[\"J960\"],\"Procedure\":[]},"
      "{\"Id\":\"4\",\"Success\":true,\"HRG\":\"XB03Z\",\"CCAC\":[\"30\"],"
      "\"Diagnosis\":[],\"Procedure\":[]},"
      "{\"Id\":\"5\",\"Success\":true,\"HRG\":\"XB04Z\","
      "\"CCAC\":[\"21\",\"20\"],\"Diagnosis\":[],\"Procedure\":[]},"
      "{\"Id\":\"6\",\"Success\":true,\"HRG\":\"XB05Z\","
      "\"CCAC\":[\"20\",\"21\"],\"Diagnosis\":[],\"Procedure\":[]},"
      "{\"Id\":\"7\",\"Success\":true,\"CCAC\":[\"00\"],"
      "\"Diagnosis\":[],\"Procedure\":[]}]}");
}

TEST_F(PccProcessorTest, EighthDayOfCodeThirteenLosesIt) {
  std::vector<JsonObject> days = {PccDay(0, {"13", "13"})};
  for (int i = 1; i < 7; ++i) days.push_back(PccDay(i, {"13"}));
  days.push_back(PccDay(7, {"13"}));
  days.push_back(PccDay(8, {"13", "60"}));
  const std::string kept = "\"Success\":true,\"HRG\":\"XB09Z\",\"CCAC\":[\"13\"]}";
  EXPECT_EQ(
      Process(Request("PCC", "S13", days, {"CCAC"})),
      "{\"Success\":true,\"Id\":\"S13\",\"Episodes\":["
      "{\"Id\":\"1\",\"Success\":true,\"HRG\":\"XB09Z\","
      "\"CCAC\":[\"13\",\"13\"]},"
      "{\"Id\":\"2\"," + kept + ",{\"Id\":\"3\"," + kept +
      ",{\"Id\":\"4\"," + kept + ",{\"Id\":\"5\"," + kept +
      ",{\"Id\":\"6\"," + kept + ",{\"Id\":\"7\"," + kept +
      ",{\"Id\":\"8\",\"Success\":true,\"HRG\":\"XB09Z\","
      "\"CCAC\":[\"\",\"99\"]},"
      "{\"Id\":\"9\",\"Success\":true,\"HRG\":\"XB01Z\","
      "\"CCAC\":[\"\",\"60\"]}]}");
}

TEST_F(PccProcessorTest, DayWithoutActivityCodesIsRecordedAsNinetyNine) {
  JsonObject no_codes;
  no_codes.Set("Id", "3").Set("CCDate", "20190103")
      .Set("DISDATE", kDischargeDate).Set("DISMETH", "1")
      .Set("PCC_CCUF", "01");
  std::vector<JsonObject> days = {PccDay(0, {"", ""}), PccDay(1, {}),
                                  no_codes};
  EXPECT_EQ(Process(Request("PCC", "S99", days, {"CCAC"})),
            "{\"Success\":true,\"Id\":\"S99\",\"Episodes\":["
            "{\"Id\":\"1\",\"Success\":true,\"HRG\":\"XB09Z\","
            "\"CCAC\":[\"\",\"\",\"99\"]},"
            "{\"Id\":\"2\",\"Success\":true,\"HRG\":\"XB09Z\","
            "\"CCAC\":[\"99\"]},"
            "{\"Id\":\"3\",\"Success\":true,\"HRG\":\"XB09Z\","
            "\"CCAC\":[\"99\"]}]}");
}

TEST_F(PccProcessorTest, DeathBeforeTheDischargeDayBecomesNine) {
  std::vector<JsonObject> days;
  for (int i = 0; i < 3; ++i) {
    days.push_back(PccDay(i, {"52"}, "4").Set("DISDATE", NthDay(2)));
  }
  EXPECT_EQ(Process(Request("PCC", "SD", days, {"DISMETH"})),
            "{\"Success\":true,\"Id\":\"SD\",\"Episodes\":["
            "{\"Id\":\"1\",\"Success\":true,\"HRG\":\"XB06Z\","
            "\"DISMETH\":\"9\"},"
            "{\"Id\":\"2\",\"Success\":true,\"HRG\":\"XB06Z\","
            "\"DISMETH\":\"9\"},"
            "{\"Id\":\"3\",\"Success\":true,\"HRG\":\"XB06Z\","
            "\"DISMETH\":\"4\"}]}");
}

TEST_F(PccProcessorTest, BadDatesAndCodesEndAsUz01z) {
  JsonObject no_discharge;
  no_discharge.Set("Id", "2").Set("CCDate", "20190302").Set("DISMETH", "1")
      .Set("PCC_CCUF", "01").List("CCAC", {"52"});
  std::vector<JsonObject> days = {
      PccDay(0, {"52"}).Set("CCDate", "20190229"),
      no_discharge,
      PccDay(2, {"52"}).Set("PCC_CCUF", "77"),
      PccDay(3, {"52", "X9"}),
      PccDay(4, {"52"}),
  };
  EXPECT_EQ(
      Process(Request("PCC", "SE", days, {})),
      "{\"Success\":false,\"Id\":\"SE\",\"Episodes\":["
      "{\"Id\":\"1\",\"Success\":false,\"Errors\":[{\"Field\":\"CCDate\","
      "\"Message\":\"is invalid\",\"Value\":\"20190229\",\"Index\":\"\"}],"
      "\"HRG\":\"UZ01Z\"},"
      "{\"Id\":\"2\",\"Success\":false,\"Errors\":[{\"Field\":\"DISDATE\","
      "\"Message\":\"is blank\",\"Value\":\"\",\"Index\":\"\"}],"
      "\"HRG\":\"UZ01Z\"},"
      "{\"Id\":\"3\",\"Success\":false,\"Errors\":[{\"Field\":\"PCC_CCUF\","
      "\"Message\":\"is invalid\",\"Value\":\"77\",\"Index\":\"\"}],"
      "\"HRG\":\"UZ01Z\"},"
      "{\"Id\":\"4\",\"Success\":false,\"Errors\":[{\"Field\":\"CCAC\","
      "\"Message\":\"is invalid\",\"Value\":\"X9\",\"Index\":\"1\"}],"
      "\"HRG\":\"UZ01Z\"},"
      "{\"Id\":\"5\",\"Success\":true,\"HRG\":\"XB06Z\"}]}");
}

TEST_F(PccProcessorTest, NinetyFirstDayOfCode52IsRecodedTo57) {
  const std::vector<DayOutcome> outcomes =
      Outcomes(Process(Request("PCC", "L52", SameDays(95, {"52"}), {"CCAC"})));
  ASSERT_EQ(outcomes.size(), 95u);
  for (int i = 0; i < 90; ++i) {
    EXPECT_EQ(outcomes[i].hrg, "XB06Z") << "day " << i + 1;
    EXPECT_EQ(outcomes[i].first_code, "52") << "day " << i + 1;
  }
  for (int i = 90; i < 95; ++i) {
    EXPECT_EQ(outcomes[i].hrg, "XB07Z") << "day " << i + 1;
    EXPECT_EQ(outcomes[i].first_code, "57") << "day " << i + 1;
  }
}

TEST_F(PccProcessorTest, NinetyFirstDayOfCode53IsRecodedTo58) {
  const std::vector<DayOutcome> outcomes =
      Outcomes(Process(Request("PCC", "L53", SameDays(91, {"53"}), {"CCAC"})));
  ASSERT_EQ(outcomes.size(), 91u);
  EXPECT_EQ(outcomes[89].hrg, "XB06Z");
  EXPECT_EQ(outcomes[89].first_code, "53");
  EXPECT_EQ(outcomes[90].hrg, "XB07Z");
  EXPECT_EQ(outcomes[90].first_code, "58");
}

TEST_F(PccProcessorTest, DayOfAnotherHrgStartsTheRunAgain) {
  std::vector<JsonObject> days = SameDays(141, {"52"});
  days[49] = PccDay(49, {"60"});
  const std::vector<DayOutcome> outcomes =
      Outcomes(Process(Request("PCC", "LB", days, {"CCAC"})));
  ASSERT_EQ(outcomes.size(), 141u);
  EXPECT_EQ(outcomes[49].hrg, "XB01Z");
  for (int i = 0; i < 140; ++i) {
    if (i == 49) continue;
    EXPECT_EQ(outcomes[i].first_code, "52") << "day " << i + 1;
    EXPECT_EQ(outcomes[i].hrg, "XB06Z") << "day " << i + 1;
  }
  // Ninety days after the break the run is long again.
  EXPECT_EQ(outcomes[140].first_code, "57");
  EXPECT_EQ(outcomes[140].hrg, "XB07Z");
}

TEST_F(PccProcessorTest, DayWithoutRankedCodeLeavesTheRunAsItWas) {
  std::vector<JsonObject> days = SameDays(92, {"52"});
  days[90] = PccDay(90, {"00"});
  const std::vector<DayOutcome> outcomes =
      Outcomes(Process(Request("PCC", "LU", days, {"CCAC"})));
  ASSERT_EQ(outcomes.size(), 92u);
  EXPECT_EQ(outcomes[89].first_code, "52");
  EXPECT_EQ(outcomes[90].hrg, "");
  EXPECT_EQ(outcomes[91].first_code, "57");
  EXPECT_EQ(outcomes[91].hrg, "XB07Z");
}

TEST_F(PccProcessorTest, TwoRequestsInARowDoNotShareSpellState) {
  const std::string first = Process(Request("PCC", "A", SameDays(60, {"52"}), {"CCAC"}));
  const std::vector<DayOutcome> second =
      Outcomes(Process(Request("PCC", "B", SameDays(60, {"52"}), {"CCAC"})));
  ASSERT_EQ(Outcomes(first).size(), 60u);
  ASSERT_EQ(second.size(), 60u);
  for (const DayOutcome& outcome : second) EXPECT_EQ(outcome.first_code, "52");

  Process(Request("PCC", "C", SameDays(5, {"13"}), {"CCAC"}));
  const std::vector<DayOutcome> thirteen =
      Outcomes(Process(Request("PCC", "D", SameDays(5, {"13"}), {"CCAC"})));
  ASSERT_EQ(thirteen.size(), 5u);
  for (const DayOutcome& outcome : thirteen) {
    EXPECT_EQ(outcome.first_code, "13");
  }
}

TEST(PccProcessorObjectTest, GroupBeforeSetUpReportsNotInitialised) {
  PCCProcessor mode;
  Spell spell;
  spell.episodes.resize(1);
  EXPECT_FALSE(mode.Group(spell));
  ASSERT_EQ(spell.errors.size(), 1u);
  EXPECT_EQ(spell.errors[0],
            GroupingError::Free("PLUGIN",
                                "PCC Processor has not been initalised"));
  EXPECT_FALSE(spell.episodes[0].success);
}

TEST(PccProcessorObjectTest, SetUpWithoutHierarchyStillGroupsWithoutHrg) {
  ReferenceData data;
  data.mutable_lists()["Approach"].Set("Y761", -1);
  data.mutable_lists()["Site"].Set("Z941", -1);
  PCCProcessor mode;
  EXPECT_FALSE(mode.SetUp(data));

  Spell spell;
  spell.episodes.resize(1);
  Record& day = spell.episodes[0];
  day.Set("CCDate", "20190301");
  day.Set("DISDATE", "20190301");
  EXPECT_TRUE(mode.Group(spell));
  EXPECT_TRUE(spell.success);
  EXPECT_TRUE(day.success);
  EXPECT_EQ(day.FindSingle("HRG"), nullptr);
  EXPECT_EQ(day.List("CCAC"), std::vector<std::string>{"99"});
}

TEST(PccProcessorObjectTest, RecordsDominantCodeGateAndTableErrorCode) {
  PackedTables tables(CriticalCareTableTexts());
  ReferenceData data;
  ASSERT_EQ(data.LoadAll(tables.dir()), LoadStatus::kOk);
  PCCProcessor mode;
  ASSERT_TRUE(mode.SetUp(data));

  Spell spell;
  spell.episodes.resize(1);
  Record& day = spell.episodes[0];
  day.Set("CCDate", "20190301");
  day.Set("DISDATE", "20190302");
  day.Set("DISMETH", "1");
  day.Set("PCC_CCUF", "01");
  day.List("CCAC") = {"00", "20"};
  ASSERT_TRUE(mode.Group(spell));
  EXPECT_EQ(day.Single("DomCC"), "20");
  EXPECT_EQ(day.Single("GateTriggerPos"), "1");
  EXPECT_EQ(day.Single("GateTriggerField"), "Procedure");
  EXPECT_EQ(day.Single("HRG"), "XB05Z");
  EXPECT_EQ(day.Single("HRG_ERROR"), "UZ02");
}

}  // namespace
}  // namespace testing
}  // namespace zorvel
