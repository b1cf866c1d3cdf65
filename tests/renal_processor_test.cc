// Tests of the renal mode ("NRD") through the exported functions, over a
// small table set packed for the purpose.
#include <string>

#include <gtest/gtest.h>

#include "modes/renal_processor.h"
#include "plugin/zorvel_plugin.h"
#include "support/mode_test_support.h"

namespace {

using zorvel::testing::FailedResponse;
using zorvel::testing::GroupedResponse;
using zorvel::testing::OneEpisodeRequest;
using zorvel::testing::PackedTables;
using zorvel::testing::PreparedTablesTest;
using zorvel::testing::ProcessRequest;
using zorvel::testing::TableTexts;

// Modalities: HD gives TR02B when the first virus status in "RenalBBV" is
// POS, else TR02A; PD gives TR04A; ERR the renal error; ODD an error HRG
// with another error code; NONE has no triggers.
TableTexts RenalTexts(bool with_renal_table = true) {
  TableTexts texts;
  texts.validation_lists =
      "Age,40\nAge,60\n"
      "RenalMod,HD\nRenalMod,PD\nRenalMod,ERR\nRenalMod,ODD\nRenalMod,NONE\n"
      "RenalSite,HOSP\nRenalSite,HOME\n"
      "RenalAccess,AVF\n"
      "RenalBBV,POS\nRenalBBV,NEG\n";
  texts.lists = "Approach,Y1,\nSite,Z1,\nPositive,POS,\n";
  texts.rule_defs =
      "Always,True,,,,,Default\n"
      "FirstPositive,DataItemInList,RenalBBV,1,1,,Positive\n";
  if (with_renal_table) {
    texts.triggers +=
        "Renal,RenalMod,HD,FirstPositive,TR02B,,Always,\n"
        "Renal,RenalMod,HD,Always,TR02A,,Always,\n"
        "Renal,RenalMod,PD,Always,TR04A,,Always,\n"
        "Renal,RenalMod,ERR,Always,UZ14Z,,Always,UZ14\n"
        "Renal,RenalMod,ODD,Always,UZ99Z,,Always,UZ01\n";
  }
  return texts;
}

class RenalProcessorTest : public PreparedTablesTest<RenalProcessorTest> {
 public:
  static TableTexts Texts() { return RenalTexts(); }
};

// A one-episode NRD request whose episode holds `fields` (JSON members).
std::string Request(const std::string& fields,
                    const std::string& extra = std::string()) {
  return OneEpisodeRequest("NRD", fields, extra);
}

TEST_F(RenalProcessorTest, ModalityGivesItsHrg) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"HD","RenalSite":"HOSP",)"
                                   R"("RenalAccess":"AVF","HBV":"NEG","HCV":"NEG","HIV":"NEG")")),
            GroupedResponse("TR02A"));
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"PD","RenalSite":"HOME")")),
            GroupedResponse("TR04A"));
}

TEST_F(RenalProcessorTest, VirusStatusIsUpperCasedAndListedHcvFirst) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"HD","RenalSite":"HOSP",)"
                                   R"("HBV":"neg","HCV":"pos")",
                                   R"("ExtraEpisodeItems":["RenalBBV","HBV","HCV","HIV"],)")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TR02B","RenalBBV":["POS","NEG",""],"HBV":"NEG","HCV":"POS","HIV":""}]})");
}

// Only the first place of "RenalBBV" is tested: a positive HBV, listed
// second, does not give TR02B.
TEST_F(RenalProcessorTest, RenalBbvHoldsHcvThenHbvThenHiv) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"HD","RenalSite":"HOSP",)"
                                   R"("HBV":"POS","HCV":"NEG","HIV":"NEG")",
                                   R"("ExtraEpisodeItems":["RenalBBV"],)")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TR02A","RenalBBV":["NEG","POS","NEG"]}]})");
}

TEST_F(RenalProcessorTest, RenalBbvFromRequestIsAppendedTo) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"HD","RenalSite":"HOSP",)"
                                   R"("RenalBBV":["POS"],"HCV":"NEG")",
                                   R"("ExtraEpisodeItems":["RenalBBV"],)")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TR02B","RenalBBV":["POS","NEG","",""]}]})");
}

TEST_F(RenalProcessorTest, MissingAccessIsCreatedEmpty) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"PD","RenalSite":"HOME")",
                                   R"("ExtraEpisodeItems":["RenalAccess"],)")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TR04A","RenalAccess":""}]})");
}

TEST_F(RenalProcessorTest, RenalErrorCodeGivesUz14) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"ERR","RenalSite":"HOSP")")),
            FailedResponse(R"({"Field":"RenalMod","Message":"UZ14 - Renal (NRD) Error",)"
                           R"("Value":"ERR","Index":""})"));
}

TEST_F(RenalProcessorTest, ErrorHrgWithOtherCodeIsNeitherErrorNorHrg) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"ODD","RenalSite":"HOSP")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true}]})");
}

TEST_F(RenalProcessorTest, ModalityWithoutTriggersIsSuccessfulWithoutHrg) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"NONE","RenalSite":"HOSP")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true}]})");
}

TEST_F(RenalProcessorTest, HrgFromRequestStaysWhenNothingMatches) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"NONE","RenalSite":"HOSP","HRG":"RX01A")")),
            GroupedResponse("RX01A"));
}

TEST_F(RenalProcessorTest, ValidationErrorsGiveUz01z) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"HD","RenalSite":"MOON",)"
                                   R"("RenalAccess":"XYZ","HIV":"maybe")")),
            FailedResponse(R"({"Field":"RenalSite","Message":"is invalid","Value":"MOON","Index":""},)"
                           R"({"Field":"RenalAccess","Message":"is invalid","Value":"XYZ","Index":""},)"
                           R"({"Field":"HIV","Message":"is invalid","Value":"MAYBE","Index":""})"));
}

TEST_F(RenalProcessorTest, MissingRequiredFieldsAreBlank) {
  EXPECT_EQ(ProcessRequest(Request(R"("RenalSite":"HOSP")")),
            FailedResponse(R"({"Field":"Age","Message":"is blank","Value":"","Index":""},)"
                           R"({"Field":"RenalMod","Message":"is blank","Value":"","Index":""})"));
}

TEST_F(RenalProcessorTest, ValidationErrorAndRenalErrorAreBothReported) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"33","RenalMod":"ERR","RenalSite":"HOSP")")),
            FailedResponse(R"({"Field":"Age","Message":"is invalid","Value":"33","Index":""},)"
                           R"({"Field":"RenalMod","Message":"UZ14 - Renal (NRD) Error",)"
                           R"("Value":"ERR","Index":""})"));
}

TEST_F(RenalProcessorTest, SpellWithoutEpisodesIsUnsuccessful) {
  EXPECT_EQ(ProcessRequest(R"({"Group":"NRD","Spell":{"Id":"S1","Episodes":[]}})"),
            R"({"Success":false,"Id":"S1","Episodes":[]})");
}

TEST_F(RenalProcessorTest, OneFailingEpisodeFailsTheSpellOnly) {
  const std::string request =
      R"({"Group":"NRD","Spell":{"Id":"S1","Episodes":[)"
      R"({"Id":"E1","Age":"60","RenalMod":"HD","RenalSite":"MOON"},)"
      R"({"Id":"E2","Age":"60","RenalMod":"PD","RenalSite":"HOME"}]}})";
  EXPECT_EQ(ProcessRequest(request),
            R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)"
            R"("Errors":[{"Field":"RenalSite","Message":"is invalid","Value":"MOON","Index":""}],)"
            R"("HRG":"UZ01Z"},{"Id":"E2","Success":true,"HRG":"TR04A"}]})");
}

TEST_F(RenalProcessorTest, RepeatedRequestsDoNotInfluenceEachOther) {
  const std::string good = Request(R"("Age":"60","RenalMod":"HD","RenalSite":"HOSP","HCV":"pos")");
  EXPECT_EQ(ProcessRequest(good), GroupedResponse("TR02B"));
  ProcessRequest(Request(R"("Age":"60","RenalMod":"ERR","RenalSite":"HOSP")"));
  ProcessRequest(Request(R"("RenalMod":"HD","HCV":"NEG")"));
  EXPECT_EQ(ProcessRequest(good), GroupedResponse("TR02B"));
}

// Without the "Renal" table set-up fails, and every request is answered with
// the mode's own error followed by the plug-in's internal error.
TEST(RenalProcessorWithoutTable, AnswersNotInitialised) {
  PackedTables tables(RenalTexts(/*with_renal_table=*/false));
  EXPECT_FALSE(CS_Prepare(tables.dir().c_str()));
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"60","RenalMod":"HD","RenalSite":"HOSP")")),
            R"({"Success":false,"Errors":[)"
            R"({"Field":"PLUGIN","Message":"Renal Processor has not been initalised",)"
            R"("Value":"","Index":"","Section":"episode"},)"
            R"({"Field":"PLUGIN","Message":"Internal grouping processor error",)"
            R"("Value":"","Index":"","Section":"episode"}],)"
            R"("Episodes":[{"Id":"E1","Success":false}]})");
}

TEST(RenalProcessorDirect, SecondSetUpDoesNotRepeatFieldNames) {
  PackedTables tables(RenalTexts());
  zorvel::ReferenceData data;
  ASSERT_EQ(data.LoadAll(tables.dir()), zorvel::LoadStatus::kOk);
  zorvel::RenalProcessor mode;
  ASSERT_TRUE(mode.SetUp(data));
  ASSERT_TRUE(mode.SetUp(data));
  EXPECT_EQ(mode.GetInputEpisodeFields(),
            (zorvel::FieldList{"RenalMod", "RenalSite", "RenalAccess", "HBV",
                               "HCV", "HIV", "Age"}));
  EXPECT_EQ(mode.GetOutputEpisodeFields(), zorvel::FieldList{"HRG"});
}

}  // namespace
