// The multiple-trauma HRG: a first stage opened by the primary diagnosis in
// "Core4"/"ICD", refined by the dominant trauma procedure in "Core4"/"OPCS".
#include "grouping/trauma_logic.h"

#include <cstdint>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "grouping/chapter_tables.h"

namespace zorvel {

bool TraumaLogic::SetUp(const RuleContext* context, const ReferenceData& data) {
  context_ = context;
  procedures_ = nullptr;
  hierarchy_ = nullptr;
  diagnoses_ = data.FindCodeMap("Core4", "ICD");
  if (diagnoses_ == nullptr) return false;
  procedures_ = data.FindCodeMap("Core4", "OPCS");
  if (procedures_ == nullptr) return false;
  hierarchy_ = data.FindList("MTPH");
  return context_ != nullptr && hierarchy_ != nullptr;
}

bool TraumaLogic::Derive(Record& record) const {
  if (context_ == nullptr || diagnoses_ == nullptr || procedures_ == nullptr ||
      hierarchy_ == nullptr) {
    return false;
  }
  const std::vector<std::string>& diagnoses = record.List("Diagnosis");
  if (diagnoses.empty()) return false;

  record.trace.Enter("Trauma");
  record.Set("GateTriggerPos", "0");
  record.Set("GateTriggerField", "Diagnosis");
  const HrgEntry* first = context_->MatchCode(record, *diagnoses_,
                                              diagnoses.front(), EvalMode::kPlain);
  if (first == nullptr) return true;
  record.Set("TraumaHRG", first->hrg);
  record.trace.Set("TraumaHRG", first->hrg);

  // Without a trauma procedure the diagnosis stage stands, and so does the
  // gate trigger on the diagnosis.
  const std::vector<std::string>& procedures = record.List("Procedure");
  const int32_t position = DominantPosition(procedures, *hierarchy_);
  TraceDominant(record, "Procedure", procedures, position, *hierarchy_);
  if (position == kNoPosition) return true;
  const std::string& dominant = procedures[position];
  record.Set("DomTraumaProcedure", dominant);

  // The gate trigger moves to the procedure even when it refines nothing.
  record.Set("GateTriggerPos", ToDecimal(position));
  record.Set("GateTriggerField", "Procedure");
  const HrgEntry* second =
      context_->MatchCode(record, *procedures_, dominant, EvalMode::kPlain);
  if (second != nullptr) {
    record.Set("TraumaHRG", second->hrg);
    record.trace.Set("TraumaHRG", second->hrg);
  }
  return true;
}

}  // namespace zorvel
