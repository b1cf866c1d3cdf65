// The non-admitted consultations mode, not built yet.
#include "modes/nac_processor.h"

namespace zorvel {

bool NACProcessor::SetUp(const ReferenceData& /*data*/) {
  SetFieldLists({},
                {"Age", "SEX", "MAINSPEF", "TRETSPEF", "FIRSTATT", "Procedure"},
                {},
                {"HRG", "GroupingMethodFlag", "DGVP", "ALT_HRG", "UnbundledHRG"});
  return false;
}

bool NACProcessor::Group(Spell& spell) {
  AddNotInitialisedError(spell, "NAC");
  return false;
}

}  // namespace zorvel
