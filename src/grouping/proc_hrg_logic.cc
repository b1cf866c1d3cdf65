// The procedure-driven HRG: the dominant procedure by "ProcHier", its trigger
// list in "Core1"/"OPCS" evaluated in DGVP mode, and the procedure errors that
// an error entry stands for.
#include "grouping/proc_hrg_logic.h"

#include <cstdint>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "grouping/chapter_tables.h"

namespace zorvel {
namespace {


// The message an error code text of a procedure entry raises; kNoMessage for
// a code text that raises none.
int32_t ProcedureMessage(std::string_view error_code) {
  if (error_code == "UZ05") return kUz05InvalidProcedure;
  if (error_code == "UZ06") return kUz06PoorlyCodedProcedure;
  return kNoMessage;
}

}  // namespace

bool ProcHrgLogic::SetUp(const RuleContext* context, const ReferenceData& data) {
  context_ = context;
  hierarchy_ = nullptr;
  codes_ = data.FindCodeMap("Core1", "OPCS");
  if (codes_ == nullptr) return false;
  hierarchy_ = data.FindList("ProcHier");
  return context_ != nullptr && hierarchy_ != nullptr;
}

bool ProcHrgLogic::Derive(Record& record) const {
  if (context_ == nullptr || codes_ == nullptr || hierarchy_ == nullptr) {
    return false;
  }
  record.trace.Enter("ProcHrg");
  const std::vector<std::string>& procedures = record.List("Procedure");
  const int32_t position = DominantPosition(procedures, *hierarchy_);
  TraceDominant(record, "Procedure", procedures, position, *hierarchy_);
  if (position == kNoPosition) return false;
  const std::string& dominant = procedures[position];

  record.Set("DGVP", dominant);
  record.Set("GateTriggerPos", ToDecimal(position));
  record.Set("GateTriggerField", "Procedure");
  // In DGVP mode the rules ask for procedures other than the dominant one.
  const HrgEntry* entry =
      context_->MatchCode(record, *codes_, dominant, EvalMode::kDgvp);
  if (entry == nullptr) return false;

  record.Set("ProcHRG", entry->hrg);
  record.trace.Set("ProcHRG", entry->hrg);
  // The error code decides, whether or not the HRG itself is an error HRG.
  const int32_t message = ProcedureMessage(entry->error_code);
  if (message != kNoMessage) {
    record.AddError(
        GroupingError::WithPosition("Procedure", dominant, position, message));
  }
  return true;
}

}  // namespace zorvel
