// The renal mode, not built yet.
#include "modes/renal_processor.h"

namespace zorvel {

bool RenalProcessor::SetUp(const ReferenceData& /*data*/) {
  SetFieldLists({},
                {"RenalMod", "RenalSite", "RenalAccess", "HBV", "HCV", "HIV", "Age"},
                {},
                {"HRG"});
  return false;
}

bool RenalProcessor::Group(Spell& spell) {
  AddNotInitialisedError(spell, "Renal");
  return false;
}

}  // namespace zorvel
