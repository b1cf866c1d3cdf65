// The paediatric critical care mode, not built yet.
#include "modes/pcc_processor.h"

namespace zorvel {

bool PCCProcessor::SetUp(const ReferenceData& /*data*/) {
  SetFieldLists({},
                {"CCDate", "DISDATE", "DISMETH", "PCC_CCUF", "CCAC", "Procedure", "Diagnosis"},
                {},
                {"HRG"});
  return false;
}

bool PCCProcessor::Group(Spell& spell) {
  AddNotInitialisedError(spell, "PCC");
  return false;
}

}  // namespace zorvel
