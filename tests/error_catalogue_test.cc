// The message table and the section names.
#include "protocol/error_catalogue.h"

#include <gtest/gtest.h>

namespace zorvel {
namespace {

TEST(ErrorCatalogue, MessagesAreTheFixedTexts) {
  EXPECT_EQ(MessageText(0), "");
  EXPECT_EQ(MessageText(1), "");
  EXPECT_EQ(MessageText(2), "is blank");
  EXPECT_EQ(MessageText(3), "is invalid");
  EXPECT_EQ(MessageText(4), "UZ01 - Invalid Primary Diagnosis");
  EXPECT_EQ(MessageText(5), "UZ02 - Poorly Coded Primary Diagnosis");
  EXPECT_EQ(MessageText(6), "is not unique in the spell");
  EXPECT_EQ(MessageText(7), "Spell exceeds 87 episodes");
  EXPECT_EQ(MessageText(8), "rises by more than expected in the spell");
  EXPECT_EQ(MessageText(9), "falls in episodes in the spell");
  EXPECT_EQ(MessageText(10), "is inconsistent in spell");
  EXPECT_EQ(MessageText(11),
            "UZ05 - Invalid procedure for Casemix grouping purposes");
  EXPECT_EQ(MessageText(12),
            "UZ06 - Poorly coded procedure for Casemix grouping purposes");
  EXPECT_EQ(MessageText(13), "UZ14 - Renal (NRD) Error");
  EXPECT_EQ(MessageText(14), "UZ11 - Neonatal Critical Care Error");
  EXPECT_EQ(MessageText(15), "UZ21 - CCAC Inappropriate for NCC");
  EXPECT_EQ(MessageText(16), "UZ13 - ACC grouping error");
  EXPECT_EQ(MessageText(17), "UZ03 - Diagnosis Conflicts with Age");
  EXPECT_EQ(MessageText(18), "UZ04 - Diagnosis Conflicts with Anatomical Site");
  EXPECT_EQ(MessageText(19),
            "UZ15 - Burns primary diagnosis code of unspecified body region or "
            "with no subsequent total body surface area(TBSA) code");
}

TEST(ErrorCatalogue, NumbersOutsideTheTableHaveNoText) {
  EXPECT_EQ(MessageText(20), "");
  EXPECT_EQ(MessageText(-1), "");
  EXPECT_EQ(MessageText(INT32_MIN), "");
  EXPECT_EQ(MessageText(INT32_MAX), "");
}

TEST(ErrorCatalogue, SectionNames) {
  EXPECT_EQ(SectionName(0), "episode");
  EXPECT_EQ(SectionName(1), "spell");
  EXPECT_EQ(SectionName(2), "");
  EXPECT_EQ(SectionName(-1), "");
}

}  // namespace
}  // namespace zorvel
