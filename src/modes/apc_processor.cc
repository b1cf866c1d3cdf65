// The admitted patient care mode, not built yet.
#include "modes/apc_processor.h"

namespace zorvel {

bool APCProcessor::SetUp(const ReferenceData& /*data*/) {
  SetFieldLists({},
                {"Age", "SEX", "CLASSPAT", "ADMISORC", "ADMIMETH", "DISDEST", "DISMETH", "EpiDur", "MAINSPEF", "NEOCARE", "TRETSPEF", "Diagnosis", "Procedure", "CRITICALCAREDAYS", "REHABILITATIONDAYS", "SPCDAYS"},
                {"HRG", "GroupingMethodFlag", "DGVP", "PDiag", "SDiag", "EpiCount", "EpiDur", "CRITICALCAREDAYS", "PBC", "UnbundledHRG", "SpellSSC", "BP"},
                {"HRG", "GroupingMethodFlag", "DGVP", "PBC", "EpiDur", "SpellReportFlag", "UnbundledHRG", "SSC"});
  return false;
}

bool APCProcessor::Group(Spell& spell) {
  AddNotInitialisedError(spell, "APC");
  return false;
}

}  // namespace zorvel
