// The "BP" list: the HRG that "ABP1"/"HRG7" gives for the record's final HRG,
// appended after any earlier ones.
#include "grouping/bp_logic.h"

#include <string>

namespace zorvel {

bool BpLogic::SetUp(const RuleContext* context, const ReferenceData& data) {
  context_ = context;
  codes_ = data.FindCodeMap("ABP1", "HRG7");
  return context_ != nullptr && codes_ != nullptr;
}

bool BpLogic::Derive(Record& record) const {
  if (context_ == nullptr || codes_ == nullptr) return false;
  const std::string& hrg = record.Single("HRG");
  if (hrg.empty()) return true;

  record.trace.Enter("Bp");
  // The final HRG is the trigger code, standing alone at position 0.
  record.Set("GateTriggerField", "HRG7");
  record.Set("GateTriggerPos", "0");
  const HrgEntry* entry =
      context_->MatchCode(record, *codes_, hrg, EvalMode::kPlain);
  if (entry != nullptr) {
    record.List("BP").emplace_back(entry->hrg);
    record.trace.Append("BP", entry->hrg);
  }
  return true;
}

}  // namespace zorvel
