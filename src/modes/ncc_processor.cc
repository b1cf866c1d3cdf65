// The neonatal critical care mode, not built yet.
#include "modes/ncc_processor.h"

namespace zorvel {

bool NCCProcessor::SetUp(const ReferenceData& /*data*/) {
  SetFieldLists({},
                {"CCDate", "DISDATE", "NCC_CCUF", "Age_days", "DISMETH", "GestLen", "PerWt", "CCAC"},
                {},
                {"HRG"});
  return false;
}

bool NCCProcessor::Group(Spell& spell) {
  AddNotInitialisedError(spell, "NCC");
  return false;
}

}  // namespace zorvel
