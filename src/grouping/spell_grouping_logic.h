// The spell grouping of admitted patient care: the dominant episode of a
// spell of several episodes, chosen by the procedure hierarchy "ProcHier",
// the diagnosis hierarchy "DiagHier" and the blanking list "PNCO". For now
// only the binding to those lists exists; the mode answers spells of several
// episodes with a spell error until their grouping is built.
#pragma once

#include "refdata/reference_data.h"

namespace zorvel {

class SpellGroupingLogic {
 public:
  // Binds to "ProcHier", "DiagHier" and "PNCO"; true when all three exist.
  bool SetUp(const ReferenceData& data);

 private:
  const CodeList* procedure_hierarchy_ = nullptr;
  const CodeList* diagnosis_hierarchy_ = nullptr;
  const CodeList* pnco_ = nullptr;
};

}  // namespace zorvel
