// The adult critical care mode, not built yet.
#include "modes/acc_processor.h"

namespace zorvel {

bool ACCProcessor::SetUp(const ReferenceData& /*data*/) {
  SetFieldLists({},
                {"ACC_CCUF", "BCSD", "ACSD", "BRSD", "ARSD", "RSD", "NSD", "DSD", "LSD", "CCL2D", "CCL3D", "CC_Start_Date", "CC_Discharge_Date"},
                {},
                {"HRG", "Calc_CC_Days", "Flag"});
  return false;
}

bool ACCProcessor::Group(Spell& spell) {
  AddNotInitialisedError(spell, "ACC");
  return false;
}

}  // namespace zorvel
