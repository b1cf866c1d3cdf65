// The message table: every text the grouping can report against a field.
#include "protocol/error_catalogue.h"

namespace zorvel {
namespace {

constexpr std::string_view kMessages[] = {
    "",
    "",
    "is blank",
    "is invalid",
    "UZ01 - Invalid Primary Diagnosis",
    "UZ02 - Poorly Coded Primary Diagnosis",
    "is not unique in the spell",
    "Spell exceeds 87 episodes",
    "rises by more than expected in the spell",
    "falls in episodes in the spell",
    "is inconsistent in spell",
    "UZ05 - Invalid procedure for Casemix grouping purposes",
    "UZ06 - Poorly coded procedure for Casemix grouping purposes",
    "UZ14 - Renal (NRD) Error",
    "UZ11 - Neonatal Critical Care Error",
    "UZ21 - CCAC Inappropriate for NCC",
    "UZ13 - ACC grouping error",
    "UZ03 - Diagnosis Conflicts with Age",
    "UZ04 - Diagnosis Conflicts with Anatomical Site",
    "UZ15 - Burns primary diagnosis code of unspecified body region or with no "
    "subsequent total body surface area(TBSA) code",
};

constexpr std::string_view kSections[] = {"episode", "spell"};

template <typename Table>
std::string_view Lookup(const Table& table, int32_t number) {
  constexpr int32_t kCount = sizeof(Table) / sizeof(table[0]);
  return number >= 0 && number < kCount ? table[number] : std::string_view();
}

}  // namespace

std::string_view MessageText(int32_t number) {
  return Lookup(kMessages, number);
}

std::string_view SectionName(int32_t section) {
  return Lookup(kSections, section);
}

}  // namespace zorvel
