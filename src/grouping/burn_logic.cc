// The burns HRG: a default trigger list that applies to every record, then a
// second table keyed by the error code text of the first stage's entry.
#include "grouping/burn_logic.h"

#include <string>

#include "grouping/chapter_tables.h"

namespace zorvel {

bool BurnLogic::SetUp(const RuleContext* context, const ReferenceData& data) {
  context_ = context;
  second_stage_ = nullptr;
  first_stage_ = DefaultCodes(data, "Core7");
  if (first_stage_ == nullptr) return false;
  second_stage_ = data.FindCodeMap("Core3", "HRG6");
  return context_ != nullptr && second_stage_ != nullptr;
}

bool BurnLogic::Derive(Record& record) const {
  if (context_ == nullptr || first_stage_ == nullptr ||
      second_stage_ == nullptr) {
    return true;
  }
  record.trace.Enter("Burn");
  const HrgEntry* found = context_->MatchCode(record, *first_stage_, kDefaultCode,
                                              EvalMode::kPlain);
  if (found == nullptr) return true;
  const HrgEntry& first = *found;

  // An error HRG ends the derivation; no second stage is tried.
  if (!first.hrg.empty() && first.hrg.front() == 'U') {
    if (first.error_code == "UZ15") {
      record.AddError(
          GroupingError::WithValue("Diagnosis", "", kUz15BurnsPrimaryDiagnosis));
    }
    record.Set("BurnHRG", first.hrg);
    record.trace.Set("BurnHRG", first.hrg);
    return true;
  }

  // In this chapter the error code text names the second-stage key.
  record.Set("BurnHRG", first.hrg);
  const HrgEntry* second = context_->MatchCode(
      record, *second_stage_, first.error_code, EvalMode::kPlain);
  if (second != nullptr) record.Set("BurnHRG", second->hrg);
  record.trace.Set("BurnHRG", record.FindSingle("BurnHRG"));
  return true;
}

}  // namespace zorvel
