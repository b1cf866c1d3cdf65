// Tests of the emergency medicine mode ("EM"): through the exported
// functions, and directly on the mode for the items the response never
// carries ("PINV", "PTRE").
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modes/em_processor.h"
#include "plugin/zorvel_plugin.h"
#include "refdata/reference_data.h"
#include "support/mode_test_support.h"

namespace {

using zorvel::testing::FailedResponse;
using zorvel::testing::GroupedResponse;
using zorvel::testing::OneEpisodeRequest;
using zorvel::testing::PackedTables;
using zorvel::testing::PackedTablesTest;
using zorvel::testing::PreparedTablesTest;
using zorvel::testing::ProcessRequest;
using zorvel::testing::TableTexts;

// Pairs: I 01+T 01 gives EB05A; I 02+T 01 and I 01+T 02 both give EB03A;
// I 24+T 02 (treatment only) EB07A; I 03+T 99 (investigation only) EB08A;
// I 03+T 01 EB02A for children only. Patient group 70 overrides with EB09Z,
// group 80 yields UZ01Z; group 10 has no triggers.
TableTexts EmTexts(bool with_em_table = true) {
  TableTexts texts;
  texts.validation_lists =
      "Invest,01\nInvest,02\nInvest,03\nInvest,24\n"
      "Treat,01\nTreat,02\nTreat,99\n"
      "Age,5\nAge,40\n"
      "AEPatGroup,10\nAEPatGroup,70\nAEPatGroup,80\n";
  texts.lists = "Approach,Y1,\nSite,Z1,\nChild,5,\n";
  texts.rule_defs =
      "Always,True,,,,,Default\n"
      "Child,DataItemInList,Age,,,,Child\n";
  if (with_em_table) {
    texts.triggers +=
        "EM,Combination,I 01+T 01,Always,EB05A,,Always,\n"
        "EM,Combination,I 02+T 01,Always,EB03A,,Always,\n"
        "EM,Combination,I 01+T 02,Always,EB03A,,Always,\n"
        "EM,Combination,I 24+T 02,Always,EB07A,,Always,\n"
        "EM,Combination,I 03+T 99,Always,EB08A,,Always,\n"
        "EM,Combination,I 03+T 01,Child,EB02A,,Always,\n"
        "EM,AEPatGroup,70,Always,EB09Z,,Always,\n"
        "EM,AEPatGroup,80,Always,UZ01Z,,Always,\n";
  }
  return texts;
}

class EmProcessorTest : public PreparedTablesTest<EmProcessorTest> {
 public:
  static TableTexts Texts() { return EmTexts(); }
};

// A one-episode EM request whose episode holds `fields` (JSON members).
std::string Request(const std::string& fields,
                    const std::string& extra = std::string()) {
  return OneEpisodeRequest("EM", fields, extra);
}

TEST_F(EmProcessorTest, SmallestHrgOfAllPairsWins) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":["01","02"],"Treat":["01"])")),
            GroupedResponse("EB03A"));
}

TEST_F(EmProcessorTest, TreatmentsOnlyGetInvestigation24) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Treat":["02"])",
                                   R"("ExtraEpisodeItems":["Invest"],)")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"EB07A","Invest":["24"]}]})");
}

TEST_F(EmProcessorTest, InvestigationsOnlyGetTreatment99) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":["03"],"Treat":[])",
                                   R"("ExtraEpisodeItems":["Treat"],)")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"EB08A","Treat":["99"]}]})");
}

TEST_F(EmProcessorTest, NeitherInvestigationsNorTreatmentsAreBlank) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":[])")),
            FailedResponse(R"({"Field":"Invest","Message":"is blank","Value":"","Index":"0"},)"
                           R"({"Field":"Treat","Message":"is blank","Value":"","Index":"0"})"));
}

TEST_F(EmProcessorTest, InvalidTreatmentIsReportedWithItsPosition) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":["01"],"Treat":["01","77"])")),
            FailedResponse(R"({"Field":"Treat","Message":"is invalid","Value":"77","Index":"1"})"));
}

TEST_F(EmProcessorTest, MissingAgeIsBlank) {
  EXPECT_EQ(ProcessRequest(Request(R"("Invest":["01"],"Treat":["01"])")),
            FailedResponse(R"({"Field":"Age","Message":"is blank","Value":"","Index":""})"));
}

TEST_F(EmProcessorTest, InvalidPatientGroupIsReported) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","AEPatGroup":"99","Invest":["01"],"Treat":["01"])")),
            FailedResponse(R"({"Field":"AEPatGroup","Message":"is invalid","Value":"99","Index":""})"));
}

TEST_F(EmProcessorTest, PairWithoutCombinationGetsUz01zWithoutError) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":["02"],"Treat":["02"])")),
            FailedResponse(""));
}

TEST_F(EmProcessorTest, EntryRuleDecidesWhetherAPairMatches) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"5","Invest":["03"],"Treat":["01"])")),
            GroupedResponse("EB02A"));
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":["03"],"Treat":["01"])")),
            FailedResponse(""));
}

TEST_F(EmProcessorTest, HrgFromRequestIsKeptWhenPairsSortAfterIt) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","HRG":"EA00A","Invest":["01"],"Treat":["01"])")),
            GroupedResponse("EA00A"));
}

TEST_F(EmProcessorTest, HrgFromRequestIsReplacedBySmallerOne) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","HRG":"EZ99Z","Invest":["01"],"Treat":["01"])")),
            GroupedResponse("EB05A"));
}

TEST_F(EmProcessorTest, PatientGroupOverridesCombinationHrg) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","AEPatGroup":"70","Invest":["01"],"Treat":["01"])")),
            GroupedResponse("EB09Z"));
}

TEST_F(EmProcessorTest, PatientGroupGivingUz01zLeavesCombinationHrg) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","AEPatGroup":"80","Invest":["01"],"Treat":["01"])")),
            GroupedResponse("EB05A"));
}

TEST_F(EmProcessorTest, PatientGroupWithoutTriggersChangesNothing) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","AEPatGroup":"10","Invest":["01"],"Treat":["01"])")),
            GroupedResponse("EB05A"));
}

TEST_F(EmProcessorTest, PatientGroupDoesNotGiveAnHrgOfItsOwn) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","AEPatGroup":"70","Invest":["02"],"Treat":["02"])")),
            FailedResponse(""));
}

TEST_F(EmProcessorTest, SpellWithoutEpisodesIsSuccessful) {
  EXPECT_EQ(ProcessRequest(R"({"Group":"EM","Spell":{"Id":"S1","Episodes":[]}})"),
            R"({"Success":true,"Id":"S1","Episodes":[]})");
}

TEST_F(EmProcessorTest, OneFailingEpisodeFailsTheSpellOnly) {
  const std::string request =
      R"({"Group":"EM","Spell":{"Id":"S1","Episodes":[)"
      R"({"Id":"E1","Age":"40","Invest":["01"],"Treat":["01"]},)"
      R"({"Id":"E2","Age":"40"}]}})";
  EXPECT_EQ(ProcessRequest(request),
            R"({"Success":false,"Id":"S1","Episodes":[)"
            R"({"Id":"E1","Success":true,"HRG":"EB05A"},)"
            R"({"Id":"E2","Success":false,"Errors":[)"
            R"({"Field":"Invest","Message":"is blank","Value":"","Index":"0"},)"
            R"({"Field":"Treat","Message":"is blank","Value":"","Index":"0"}],)"
            R"("HRG":"UZ01Z"}]})");
}

TEST_F(EmProcessorTest, RepeatedRequestsDoNotInfluenceEachOther) {
  const std::string good = Request(R"("Age":"40","Invest":["01"],"Treat":["01"])");
  EXPECT_EQ(ProcessRequest(good), GroupedResponse("EB05A"));
  ProcessRequest(Request(R"("Age":"40","HRG":"EA00A","Invest":["02"],"Treat":["01"])"));
  ProcessRequest(Request(R"("Age":"40","AEPatGroup":"70","Invest":["01"],"Treat":["01"])"));
  ProcessRequest(Request(R"("Treat":["77"])"));
  EXPECT_EQ(ProcessRequest(good), GroupedResponse("EB05A"));
}

// Each episode carries its output fields, then the further items asked for
// that it holds: lists as arrays, single values as strings. "PINV" is no data
// item, "NoSuchItem" no name at all, and neither episode has a "Diagnosis";
// the second has no "AEPatGroup" since failing validation skips the patient
// group.
TEST_F(EmProcessorTest, ExtraEpisodeItemsFollowTheOutputFieldsOfEachEpisode) {
  const std::string request =
      R"({"Group":"EM",)"
      R"("ExtraEpisodeItems":["Invest","Treat","AEPatGroup","PINV","NoSuchItem","Diagnosis"],)"
      R"("Spell":{"Id":"S1","Episodes":[)"
      R"({"Id":"E1","Age":"40","AEPatGroup":"10","Invest":["01","02"],"Treat":["01"]},)"
      R"({"Id":"E2","Invest":["03"]}]}})";
  EXPECT_EQ(ProcessRequest(request),
            R"({"Success":false,"Id":"S1","Episodes":[)"
            R"({"Id":"E1","Success":true,"HRG":"EB03A",)"
            R"("Invest":["01","02"],"Treat":["01"],"AEPatGroup":"10"},)"
            R"({"Id":"E2","Success":false,"Errors":[)"
            R"({"Field":"Age","Message":"is blank","Value":"","Index":""}],)"
            R"("HRG":"UZ01Z","Invest":["03"],"Treat":["99"]}]})");
}

// The patient group override looks up the group of every grouped episode,
// leaving an empty one behind where the request gave none.
TEST_F(EmProcessorTest, PatientGroupOfAGroupedEpisodeIsWrittenEvenWhenNotGiven) {
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":["01"],"Treat":["01"])",
                                   R"("ExtraEpisodeItems":["AEPatGroup"],)")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"EB05A","AEPatGroup":""}]})");
}

// The mode has no output spell fields: the further spell items the spell
// holds follow its "Id", in the order asked for. Non-strings are skipped;
// "PINV", "NoSuchItem" and "HRG", which the spell lacks, are not written.
TEST_F(EmProcessorTest, ExtraSpellItemsFollowTheSpellId) {
  const std::string request =
      R"({"Group":"EM","ExtraSpellItems":["Invest","Age","PINV",7,"HRG","NoSuchItem"],)"
      R"("Spell":{"Id":"S1","Age":"40","Invest":["01"],"Episodes":[)"
      R"({"Id":"E1","Age":"40","Invest":["01"],"Treat":["01"]}]}})";
  EXPECT_EQ(ProcessRequest(request),
            R"({"Success":true,"Id":"S1","Invest":["01"],"Age":"40","Episodes":[)"
            R"({"Id":"E1","Success":true,"HRG":"EB05A"}]})");
}

TEST_F(EmProcessorTest, ExtraSpellItemsThatAreNoArrayAreIgnored) {
  const std::string request =
      R"({"Group":"EM","ExtraSpellItems":"Age",)"
      R"("Spell":{"Id":"S1","Age":"40","Episodes":[)"
      R"({"Id":"E1","Age":"40","Invest":["01"],"Treat":["01"]}]}})";
  EXPECT_EQ(ProcessRequest(request), GroupedResponse("EB05A"));
}

// Without the "EM" table set-up does not complete, and grouping answers
// with the mode's own error followed by the plug-in's internal error.
TEST(EmProcessorWithoutTable, AnswersNotInitialised) {
  PackedTables tables(EmTexts(/*with_em_table=*/false));
  EXPECT_FALSE(CS_Prepare(tables.dir().c_str()));
  EXPECT_EQ(ProcessRequest(Request(R"("Age":"40","Invest":["01"],"Treat":["01"])")),
            R"({"Success":false,"Errors":[)"
            R"({"Field":"PLUGIN","Message":"EM Processor has not been initalised",)"
            R"("Value":"","Index":"","Section":"episode"},)"
            R"({"Field":"PLUGIN","Message":"Internal grouping processor error",)"
            R"("Value":"","Index":"","Section":"episode"}],)"
            R"("Episodes":[{"Id":"E1","Success":false}]})");
}

// Direct tests of the mode, for the pair that gave the HRG.
class EmPairTest : public PackedTablesTest<EmPairTest> {
 public:
  static TableTexts Texts() { return EmTexts(); }

 protected:
  void SetUp() override {
    ASSERT_EQ(data_.LoadAll(tables_->dir()), zorvel::LoadStatus::kOk);
    ASSERT_TRUE(mode_.SetUp(data_));
  }

  // Groups one episode with `invest` and `treat` and returns it.
  zorvel::Record GroupOne(std::vector<std::string> invest,
                          std::vector<std::string> treat,
                          const std::string& hrg = std::string()) {
    zorvel::Spell spell;
    zorvel::Record episode;
    episode.Set("Age", "40");
    if (!hrg.empty()) episode.Set("HRG", hrg);
    episode.lists["Invest"] = std::move(invest);
    episode.lists["Treat"] = std::move(treat);
    spell.episodes.push_back(std::move(episode));
    EXPECT_TRUE(mode_.Group(spell));
    return std::move(spell.episodes[0]);
  }

  zorvel::ReferenceData data_;
  zorvel::EMProcessor mode_;
};

TEST_F(EmPairTest, FirstPairOfEqualHrgsKeepsPinvAndPtre) {
  // I 01+T 01 (EB05A), I 01+T 02 (EB03A), I 02+T 01 (EB03A), I 02+T 02.
  const zorvel::Record episode = GroupOne({"01", "02"}, {"01", "02"});
  EXPECT_EQ(episode.singles.at("HRG"), "EB03A");
  EXPECT_EQ(episode.singles.at("PINV"), "01");
  EXPECT_EQ(episode.singles.at("PTRE"), "02");
}

TEST_F(EmPairTest, InvestigationsAreTheOuterLoop) {
  const zorvel::Record episode = GroupOne({"02", "01"}, {"02", "01"});
  EXPECT_EQ(episode.singles.at("HRG"), "EB03A");
  EXPECT_EQ(episode.singles.at("PINV"), "02");
  EXPECT_EQ(episode.singles.at("PTRE"), "01");
}

TEST_F(EmPairTest, RequestHrgThatWinsLeavesPinvAndPtreUnset) {
  const zorvel::Record episode = GroupOne({"01"}, {"01"}, "EA00A");
  EXPECT_EQ(episode.singles.at("HRG"), "EA00A");
  EXPECT_EQ(episode.FindSingle("PINV"), nullptr);
  EXPECT_EQ(episode.FindSingle("PTRE"), nullptr);
}

TEST_F(EmPairTest, SecondSetUpDoesNotRepeatFieldNames) {
  ASSERT_TRUE(mode_.SetUp(data_));
  EXPECT_EQ(mode_.GetInputEpisodeFields(),
            (zorvel::FieldList{"Age", "AEPatGroup", "Invest", "Treat"}));
  EXPECT_EQ(mode_.GetOutputEpisodeFields(), zorvel::FieldList{"HRG"});
}

TEST(EmProcessorDirect, GroupBeforeSetUpAnswersNotInitialised) {
  zorvel::EMProcessor mode;
  zorvel::Spell spell;
  spell.episodes.emplace_back();
  EXPECT_FALSE(mode.Group(spell));
  ASSERT_EQ(spell.errors.size(), 1u);
  EXPECT_EQ(spell.errors[0], zorvel::GroupingError::Free(
                                 "PLUGIN", "EM Processor has not been initalised"));
}

}  // namespace
