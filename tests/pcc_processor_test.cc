// The paediatric critical care mode object before set-up. The processor sets
// every mode up before a request can reach it, so this answer is seen only on
// the object; the mode's grouping is in cases/pcc.json.
#include "modes/pcc_processor.h"

#include <gtest/gtest.h>

namespace zorvel {
namespace {

TEST(PccProcessorObjectTest, GroupBeforeSetUpReportsNotInitialised) {
  PCCProcessor mode;
  Spell spell;
  spell.episodes.resize(1);
  EXPECT_FALSE(mode.Group(spell));
  ASSERT_EQ(spell.errors.size(), 1u);
  EXPECT_EQ(spell.errors[0],
            GroupingError::Free("PLUGIN", "PCC Processor has not been initalised"));
  EXPECT_FALSE(spell.episodes[0].success);
}

}  // namespace
}  // namespace zorvel
