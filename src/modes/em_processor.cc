// The emergency medicine mode, not built yet.
#include "modes/em_processor.h"

namespace zorvel {

bool EMProcessor::SetUp(const ReferenceData& /*data*/) {
  SetFieldLists({},
                {"Age", "AEPatGroup", "Invest", "Treat"},
                {},
                {"HRG"});
  return false;
}

bool EMProcessor::Group(Spell& spell) {
  AddNotInitialisedError(spell, "EM");
  return false;
}

}  // namespace zorvel
