// The final choice of HRG among the chapter candidates, and the age and
// admission types derived from the reporting items.
#pragma once

#include "common/record.h"

namespace zorvel {

// Sets "HRG" and "GroupingMethodFlag" from the first non-empty candidate of
// "TraumaHRG" (M), "BurnHRG" (B), "ProcHRG" (P), "ExceptHRG" (G) and
// "DiagHRG" (D), unless the record has errors or a candidate is an error HRG
// (beginning "U"); a record left without an HRG gets "UZ01Z" and "U".
// Returns true.
bool SelectFinalHrg(Record& record);

// "AgeType" from "PSSAge"; "AdmiType" and "AdmiTypeNE" from "PSSCLASSPAT"
// and "ADMIMETH". Returns true.
bool DerivePatientItems(Record& record);

}  // namespace zorvel
