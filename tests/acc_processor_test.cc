// Tests of the adult critical care mode ("ACC") through the exported
// functions, over a small table set packed for the purpose.
#include <string>

#include <gtest/gtest.h>

#include "plugin/zorvel_plugin.h"
#include "support/mode_test_support.h"

namespace {

using zorvel::testing::OneEpisodeRequest;
using zorvel::testing::PackedTables;
using zorvel::testing::PreparedTablesTest;
using zorvel::testing::ProcessRequest;
using zorvel::testing::TableTexts;

// Units 01 (level 3 or not), 03 (a procedure other than the dominant one),
// 90 (the grouping error), 80 (an error HRG with another error code); unit
// 09 is valid but has no triggers.
TableTexts AccTexts(bool with_acc_table = true) {
  TableTexts texts;
  texts.validation_lists =
      "ACC_CCUF,01\nACC_CCUF,03\nACC_CCUF,09\nACC_CCUF,80\nACC_CCUF,90\n"
      "ACCDays,0\nACCDays,1\nACCDays,2\nACCDays,3\nACCDays,4\nACCDays,5\n"
      "ACCDays,6\n";
  texts.lists =
      "Approach,Y1,\nSite,Z1,\nDays,1,1\nDays,2,2\nDays,3,3\nDays,4,4\n"
      "Procs,P1,\n";
  texts.rule_defs =
      "Always,True,,,,,Default\n"
      "Level3,SumListValues,ACCDays,10,10,1,Days\n"
      "HasProc,DataItemInList,Procedure,1,9,,Procs\n";
  if (with_acc_table) {
    texts.triggers +=
        "ACC1,ACC_CCUF,01,Level3,TA01A,,Always,\n"
        "ACC1,ACC_CCUF,01,Always,TA02A,,Always,\n"
        "ACC1,ACC_CCUF,03,HasProc,TA03A,,Always,\n"
        "ACC1,ACC_CCUF,03,Always,TA03B,,Always,\n"
        "ACC1,ACC_CCUF,80,Always,UZ80Z,,Always,UZ01\n"
        "ACC1,ACC_CCUF,90,Always,UZ13Z,,Always,UZ13\n";
  }
  return texts;
}

class AccProcessorTest : public PreparedTablesTest<AccProcessorTest> {
 public:
  static TableTexts Texts() { return AccTexts(); }
};

// A one-episode ACC request whose episode holds `fields` (JSON members).
std::string Request(const std::string& fields,
                    const std::string& extra = std::string()) {
  return OneEpisodeRequest("ACC", fields, extra);
}

// A period of four days (1 to 4 March 2019) on unit `unit`, plus `fields`.
std::string Period(const std::string& unit, const std::string& fields = "") {
  std::string members = R"("ACC_CCUF":")" + unit +
                        R"(","CC_Start_Date":"20190301","CC_Discharge_Date":"20190304")";
  if (!fields.empty()) members += "," + fields;
  return Request(members);
}

TEST_F(AccProcessorTest, LevelThreePeriodTakesFirstEntry) {
  EXPECT_EQ(ProcessRequest(Period("01", R"("CCL3D":"2","CCL2D":"1")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TA01A","Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, EntryWhoseRuleFailsFallsToTheNext) {
  EXPECT_EQ(ProcessRequest(Period("01", R"("CCL2D":"2")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TA02A","Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, EntryErrorCodeUz13FailsEpisodeAndSpell) {
  EXPECT_EQ(ProcessRequest(Period("90", R"("CCL2D":"1")")),
            R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)"
            R"("Errors":[{"Field":"ACC_CCUF","Message":"UZ13 - ACC grouping error",)"
            R"("Value":"90","Index":""}],"HRG":"UZ01Z","Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, ErrorHrgWithOtherErrorCodeIsKeptWithoutError) {
  EXPECT_EQ(ProcessRequest(Period("80", R"("CCL2D":"1")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"UZ80Z","Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, UnitWithoutTriggersIsSuccessfulWithoutHrg) {
  EXPECT_EQ(ProcessRequest(Period("09", R"("CCL2D":"1")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, InvalidUnitIsReportedAndGetsUz01z) {
  EXPECT_EQ(ProcessRequest(Period("55", R"("CCL2D":"1")")),
            R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)"
            R"("Errors":[{"Field":"ACC_CCUF","Message":"is invalid","Value":"55",)"
            R"("Index":""}],"HRG":"UZ01Z","Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, MissingUnitIsBlank) {
  EXPECT_EQ(ProcessRequest(Request(R"("CC_Start_Date":"20190301","CC_Discharge_Date":"20190301")")),
            R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)"
            R"("Errors":[{"Field":"ACC_CCUF","Message":"is blank","Value":"",)"
            R"("Index":""}],"HRG":"UZ01Z","Calc_CC_Days":"1"}]})");
}

// The replacement "0" of an invalid support count happens before the flag
// is computed: 9 support days would otherwise exceed the four-day period.
TEST_F(AccProcessorTest, InvalidSupportCountIsReplacedBeforeTheFlag) {
  EXPECT_EQ(ProcessRequest(Period("01", R"("BRSD":"9","CCL2D":"1")")),
            R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)"
            R"("Errors":[{"Field":"BRSD","Message":"is invalid","Value":"9",)"
            R"("Index":""}],"HRG":"UZ01Z","Calc_CC_Days":"4"}]})");
}

// Every invalid count gets its own error, in the order of the checks.
TEST_F(AccProcessorTest, InvalidCountsAreAllReported) {
  EXPECT_EQ(ProcessRequest(Period("01", R"("BCSD":"9","LSD":"x","CCL3D":"7")")),
            R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)"
            R"("Errors":[{"Field":"BCSD","Message":"is invalid","Value":"9","Index":""},)"
            R"({"Field":"LSD","Message":"is invalid","Value":"x","Index":""},)"
            R"({"Field":"CCL3D","Message":"is invalid","Value":"7","Index":""}],)"
            R"("HRG":"UZ01Z","Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, AccDaysGathersTheTenCountsInOrder) {
  const std::string request = Request(
      R"("ACC_CCUF":"09","BCSD":"1","ACSD":"2","BRSD":"3","ARSD":"1","RSD":"5",)"
      R"("NSD":"6","DSD":"0","LSD":"4","CCL2D":"3","CCL3D":"2",)"
      R"("CC_Start_Date":"20190301","CC_Discharge_Date":"20190310")",
      R"("ExtraEpisodeItems":["ACCDays"],)");
  EXPECT_EQ(ProcessRequest(request),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("Calc_CC_Days":"10","ACCDays":["1","2","3","1","5","6","0","4","3","2"]}]})");
}

TEST_F(AccProcessorTest, AccDaysHasEmptyTextsForMissingCountsAfterGivenOnes) {
  const std::string request = Request(
      R"("ACC_CCUF":"09","BCSD":"1","ACCDays":["x"],)"
      R"("CC_Start_Date":"20190301","CC_Discharge_Date":"20190301")",
      R"("ExtraEpisodeItems":["ACCDays"],)");
  EXPECT_EQ(ProcessRequest(request),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("Calc_CC_Days":"1","ACCDays":["x","1","","","","","","","","",""]}]})");
}

// The dominant procedure is not counted once: with "DGVP" P1 and only P1
// coded, the procedure rule fails and the next entry is chosen.
TEST_F(AccProcessorTest, TriggersAreEvaluatedInDgvpMode) {
  EXPECT_EQ(ProcessRequest(Period("03", R"("Procedure":["P1"],"DGVP":"P1")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TA03B","Calc_CC_Days":"4"}]})");
  EXPECT_EQ(ProcessRequest(Period("03", R"("Procedure":["P1","P1"],"DGVP":"P1")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("HRG":"TA03A","Calc_CC_Days":"4"}]})");
}

TEST_F(AccProcessorTest, SpellWithoutEpisodesIsSuccessful) {
  EXPECT_EQ(ProcessRequest(R"({"Group":"ACC","Spell":{"Id":"S1","Episodes":[]}})"),
            R"({"Success":true,"Id":"S1","Episodes":[]})");
}

TEST_F(AccProcessorTest, OneFailingEpisodeFailsTheSpellOnly) {
  const std::string request =
      R"({"Group":"ACC","Spell":{"Id":"S1","Episodes":[)"
      R"({"Id":"E1","ACC_CCUF":"90","CC_Start_Date":"20190301","CC_Discharge_Date":"20190301"},)"
      R"({"Id":"E2","ACC_CCUF":"01","CC_Start_Date":"20190301","CC_Discharge_Date":"20190301"}]}})";
  EXPECT_EQ(ProcessRequest(request),
            R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)"
            R"("Errors":[{"Field":"ACC_CCUF","Message":"UZ13 - ACC grouping error",)"
            R"("Value":"90","Index":""}],"HRG":"UZ01Z","Calc_CC_Days":"1"},)"
            R"({"Id":"E2","Success":true,"HRG":"TA02A","Calc_CC_Days":"1"}]})");
}

TEST_F(AccProcessorTest, RepeatedRequestsDoNotInfluenceEachOther) {
  const std::string good = Period("01", R"("CCL3D":"2")");
  const std::string expected =
      R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
      R"("HRG":"TA01A","Calc_CC_Days":"4"}]})";
  EXPECT_EQ(ProcessRequest(good), expected);
  ProcessRequest(Period("90", R"("CCL2D":"9","Flag":"Q")"));
  ProcessRequest(Request(R"("CC_Start_Date":"20190305","CC_Discharge_Date":"20190301")"));
  EXPECT_EQ(ProcessRequest(good), expected);
}

// The length of the period and the flag, for unit 09 (no HRG) and the
// given dates and counts.
struct DaysCase {
  const char* name;
  const char* members;  // JSON members besides "ACC_CCUF"
  const char* output;   // the episode's "Calc_CC_Days" and "Flag" members
};

class AccDaysTest : public AccProcessorTest,
                    public ::testing::WithParamInterface<DaysCase> {};

TEST_P(AccDaysTest, CalcCcDaysAndFlag) {
  const DaysCase& c = GetParam();
  EXPECT_EQ(ProcessRequest(Request(std::string(R"("ACC_CCUF":"09",)") + c.members)),
            std::string(R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)") +
                c.output + "}]}");
}

INSTANTIATE_TEST_SUITE_P(
    Dates, AccDaysTest,
    ::testing::Values(
        DaysCase{"FiveDaysWithinOneMonth",
                 R"("CC_Start_Date":"20190301","CC_Discharge_Date":"20190305")",
                 R"("Calc_CC_Days":"5")"},
        DaysCase{"StartEqualsEnd",
                 R"("CC_Start_Date":"20190301","CC_Discharge_Date":"20190301")",
                 R"("Calc_CC_Days":"1")"},
        DaysCase{"EndBeforeStart",
                 R"("CC_Start_Date":"20190305","CC_Discharge_Date":"20190301")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"},
        DaysCase{"SevenCharacterStartCountsAsSameDay",
                 R"("CC_Start_Date":"2019030","CC_Discharge_Date":"20190305")",
                 R"("Calc_CC_Days":"1")"},
        DaysCase{"NonNumericPartCountsAsSameDay",
                 R"("CC_Start_Date":"2019O301","CC_Discharge_Date":"20190305")",
                 R"("Calc_CC_Days":"1")"},
        DaysCase{"TwentyNinthFebruaryOfCommonYear",
                 R"("CC_Start_Date":"20190229","CC_Discharge_Date":"20190301")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"},
        DaysCase{"TwentyNinthFebruaryOfLeapYear",
                 R"("CC_Start_Date":"20200229","CC_Discharge_Date":"20200301")",
                 R"("Calc_CC_Days":"2")"},
        DaysCase{"CenturyNotLeap",
                 R"("CC_Start_Date":"19000228","CC_Discharge_Date":"19000229")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"},
        DaysCase{"FourHundredthYearLeap",
                 R"("CC_Start_Date":"20000228","CC_Discharge_Date":"20000301")",
                 R"("Calc_CC_Days":"3")"},
        DaysCase{"AcrossYearEnd",
                 R"("CC_Start_Date":"20191231","CC_Discharge_Date":"20200101")",
                 R"("Calc_CC_Days":"2")"},
        DaysCase{"YearBefore1583IsInvalid",
                 R"("CC_Start_Date":"15821231","CC_Discharge_Date":"15830101")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"},
        DaysCase{"ThirtyFirstOfApril",
                 R"("CC_Start_Date":"20190430","CC_Discharge_Date":"20190431")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"},
        DaysCase{"MissingDischargeDate", R"("CC_Start_Date":"20190301")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"},
        DaysCase{"EmptyStartDate",
                 R"("CC_Start_Date":"","CC_Discharge_Date":"20190301")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"},
        DaysCase{"LevelDaysEqualToLengthFit",
                 R"("CCL2D":"3","CCL3D":"2","CC_Start_Date":"20190301","CC_Discharge_Date":"20190305")",
                 R"("Calc_CC_Days":"5")"},
        DaysCase{"LevelDaysBeyondLength",
                 R"("CCL2D":"3","CCL3D":"3","CC_Start_Date":"20190301","CC_Discharge_Date":"20190305")",
                 R"("Calc_CC_Days":"5","Flag":"F")"},
        DaysCase{"SupportDaysBeyondLevelDays",
                 R"("ARSD":"2","BRSD":"2","CCL2D":"3","CC_Start_Date":"20190301","CC_Discharge_Date":"20190310")",
                 R"("Calc_CC_Days":"10","Flag":"F")"},
        DaysCase{"SupportDaysWithinLevelDays",
                 R"("ARSD":"2","BRSD":"1","CCL2D":"3","CC_Start_Date":"20190301","CC_Discharge_Date":"20190310")",
                 R"("Calc_CC_Days":"10")"},
        DaysCase{"FlagFromRequestIsKeptWhenCountsFit",
                 R"("Flag":"Q","CC_Start_Date":"20190301","CC_Discharge_Date":"20190301")",
                 R"("Calc_CC_Days":"1","Flag":"Q")"},
        DaysCase{"FlagFromRequestIsOverwrittenWhenRaised",
                 R"("Flag":"Q","CC_Start_Date":"20190302","CC_Discharge_Date":"20190301")",
                 R"("Calc_CC_Days":"-1","Flag":"F")"}),
    [](const ::testing::TestParamInfo<DaysCase>& info) {
      return std::string(info.param.name);
    });

// A set-up that fails for want of the "ACC1" table keeps the field lists of
// the last successful set-up; grouping still validates and counts days, but
// no episode gets an HRG.
TEST(AccProcessorWithoutTable, GroupsDaysButNoHrg) {
  PackedTables full(AccTexts());
  CS_Prepare(full.dir().c_str());
  PackedTables tables(AccTexts(/*with_acc_table=*/false));
  EXPECT_FALSE(CS_Prepare(tables.dir().c_str()));
  EXPECT_EQ(ProcessRequest(Period("01", R"("CCL3D":"2")")),
            R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,)"
            R"("Calc_CC_Days":"4"}]})");
}

}  // namespace
