// Binding of the spell grouping to its lists.
#include "grouping/spell_grouping_logic.h"

namespace zorvel {

bool SpellGroupingLogic::SetUp(const ReferenceData& data) {
  procedure_hierarchy_ = data.FindList("ProcHier");
  diagnosis_hierarchy_ = data.FindList("DiagHier");
  pnco_ = data.FindList("PNCO");
  return procedure_hierarchy_ != nullptr && diagnosis_hierarchy_ != nullptr &&
         pnco_ != nullptr;
}

}  // namespace zorvel
