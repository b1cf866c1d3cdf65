// The neonatal critical care mode object before set-up. The processor sets
// every mode up before a request can reach it, so this answer is seen only on
// the object; the mode's grouping is in cases/ncc.json.
#include "modes/ncc_processor.h"

#include <gtest/gtest.h>

namespace zorvel {
namespace {

TEST(NccProcessorObjectTest, GroupBeforeSetUpReportsNotInitialised) {
  NCCProcessor mode;
  Spell spell;
  spell.episodes.resize(2);
  EXPECT_FALSE(mode.Group(spell));
  ASSERT_EQ(spell.errors.size(), 1u);
  EXPECT_EQ(spell.errors[0],
            GroupingError::Free("PLUGIN", "NCC Processor has not been initalised"));
  EXPECT_FALSE(spell.episodes[1].success);
}

}  // namespace
}  // namespace zorvel
