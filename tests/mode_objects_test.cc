// What the mode objects do that no request shows: the processor sets every
// mode up before a request can reach it, so grouping before set-up is seen
// only on the objects; and the emergency mode keeps the pair that gave the
// HRG in items no response carries. Grouping itself is in the golden cases.
#include <gtest/gtest.h>

#include "modes/em_processor.h"
#include "modes/ncc_processor.h"
#include "modes/pcc_processor.h"
#include "refdata/reference_data.h"
#include "support/packed_tables.h"

namespace zorvel {
namespace {

template <typename Mode>
void ExpectNotInitialised(const std::string& message) {
  Mode mode;
  Spell spell;
  spell.episodes.resize(2);
  EXPECT_FALSE(mode.Group(spell)) << message;
  EXPECT_EQ(spell.errors, std::vector<GroupingError>{GroupingError::Free("PLUGIN", message)});
  EXPECT_FALSE(spell.episodes[1].success) << message;
}

TEST(ModeObjects, GroupBeforeSetUpReportsNotInitialised) {
  ExpectNotInitialised<EMProcessor>("EM Processor has not been initalised");
  ExpectNotInitialised<PCCProcessor>("PCC Processor has not been initalised");
  ExpectNotInitialised<NCCProcessor>("NCC Processor has not been initalised");
}

// Investigations are the outer loop; of pairs with equal HRGs the first
// keeps "PINV" and "PTRE", and an HRG from the request that wins sets neither.
TEST(ModeObjects, EmergencyPairThatGaveTheHrgIsKept) {
  testing::PackedTables tables(std::string(ZORVEL_SOURCE_DIR) + "/tests/tables/em");
  ReferenceData data;
  ASSERT_EQ(data.LoadAll(tables.dir()), LoadStatus::kOk);
  EMProcessor mode;
  ASSERT_TRUE(mode.SetUp(data));
  auto group = [&](std::vector<std::string> invest, std::vector<std::string> treat,
                   const char* hrg) {
    Spell spell;
    Record& episode = spell.episodes.emplace_back();
    episode.Set("Age", "40");
    if (*hrg != '\0') episode.Set("HRG", hrg);
    episode.List("Invest") = std::move(invest);
    episode.List("Treat") = std::move(treat);
    mode.Group(spell);
    Record& grouped = spell.episodes[0];
    return grouped.Single("HRG") + " " + (grouped.FindSingle("PINV") ? grouped.Single("PINV") : "-") +
           " " + (grouped.FindSingle("PTRE") ? grouped.Single("PTRE") : "-");
  };
  // I 01+T 02 and I 02+T 01 both give EB03A; I 01+T 01 gives EB05A.
  EXPECT_EQ(group({"01", "02"}, {"01", "02"}, ""), "EB03A 01 02");
  EXPECT_EQ(group({"02", "01"}, {"02", "01"}, ""), "EB03A 02 01");
  EXPECT_EQ(group({"01"}, {"01"}, "EA00A"), "EA00A - -");
}

}  // namespace
}  // namespace zorvel
