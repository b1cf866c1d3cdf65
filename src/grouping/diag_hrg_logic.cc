// The diagnosis-driven HRG of an episode or spell, and the diagnosis errors
// that an error HRG of the "Core1"/"ICD" table stands for.
#include "grouping/diag_hrg_logic.h"

#include <string>
#include <vector>

namespace zorvel {
namespace {

// The message an error code text of a diagnosis error HRG raises; kNoMessage
// for a code text that raises none.
int32_t DiagnosisMessage(std::string_view error_code) {
  if (error_code == "UZ01") return kUz01InvalidPrimaryDiagnosis;
  if (error_code == "UZ02") return kUz02PoorlyCodedPrimaryDiagnosis;
  if (error_code == "UZ03") return kUz03DiagnosisConflictsWithAge;
  if (error_code == "UZ04") return kUz04DiagnosisConflictsWithSite;
  if (error_code == "UZ15") return kUz15BurnsPrimaryDiagnosis;
  return kNoMessage;
}

}  // namespace

bool DiagHrgLogic::SetUp(const RuleContext* context, const ReferenceData& data) {
  context_ = context;
  codes_ = data.FindCodeMap("Core1", "ICD");
  return context_ != nullptr && codes_ != nullptr;
}

bool DiagHrgLogic::Derive(Record& record) const {
  if (context_ == nullptr || codes_ == nullptr) return false;
  const std::vector<std::string>& diagnoses = record.List("Diagnosis");
  if (diagnoses.empty()) return false;
  const std::string& primary = diagnoses.front();
  record.trace.Enter("DiagHrg");

  // The primary diagnosis opens the trigger list, found or not, so the
  // positional conditions of its rules start from it.
  record.Set("GateTriggerPos", "0");
  record.Set("GateTriggerField", "Diagnosis");
  const HrgEntry* entry =
      context_->MatchCode(record, *codes_, primary, EvalMode::kPlain);
  if (entry == nullptr) return true;

  // A diagnosis HRG found by an earlier pass over the record is kept.
  record.Insert("DiagHRG", std::string(entry->hrg));
  record.trace.Set("DiagHRG", record.FindSingle("DiagHRG"));
  if (entry->hrg.empty() || entry->hrg.front() != 'U') return true;

  record.Set("HRG_ERROR", entry->error_code);
  const int32_t message = DiagnosisMessage(entry->error_code);
  if (message != kNoMessage) {
    record.AddError(
        GroupingError::WithPosition("Diagnosis", primary, 0, message));
  }
  return true;
}

}  // namespace zorvel
