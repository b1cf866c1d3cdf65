// Combination codes: a procedure that opens a combination whose rule holds
// gives way to the combination code, and the codes the rule names are
// deleted.
#include "grouping/combination_logic.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/numbers.h"

namespace zorvel {
namespace {

// The first candidate whose rule holds for the record, or null.
const HrgEntry* FirstHolding(const RuleContext& context, Record& record,
                             const std::vector<HrgEntry>& candidates) {
  for (const HrgEntry& candidate : candidates) {
    if (context.EvaluateEntry(record, candidate, EvalMode::kPlain)) {
      return &candidate;
    }
  }
  return nullptr;
}

}  // namespace

bool CombinationLogic::SetUp(const CodeDeleteLogic* deletion,
                             const RuleContext* context,
                             const ReferenceData& data) {
  deletion_ = deletion;
  context_ = context;
  combinations_ = &data.combinations();
  // The qualifier lists are used through the deletion logic and the
  // context; here they only have to exist.
  ready_ = deletion_ != nullptr && context_ != nullptr &&
           data.FindList("Approach") != nullptr &&
           data.FindList("Site") != nullptr;
  return ready_;
}

bool CombinationLogic::Derive(Record& record) const {
  if (!ready_) return false;
  // Rules create no lists, so this reference stays valid while they run.
  std::vector<std::string>& procedures = record.List("Procedure");
  record.trace.Enter("Combination");
  record.Set("GateTriggerField", "Procedure");
  // Gate positions are 32-bit: codes beyond that range are not walked.
  const size_t size = std::min<size_t>(procedures.size(), INT32_MAX);
  for (size_t i = 0; i < size; ++i) {
    const std::vector<HrgEntry>* found = combinations_->Find(procedures[i]);
    if (found == nullptr) continue;
    record.Set("GateTriggerPos", ToDecimal(static_cast<int64_t>(i)));
    if (record.trace.on()) {
      record.trace.Add("Lookup").Table("Combination").Item("Procedure")
          .Index(static_cast<int64_t>(i)).Code(procedures[i]).Result("found");
    }
    const HrgEntry* entry = FirstHolding(*context_, record, *found);
    if (entry == nullptr) continue;
    // Kept for the trace: the rule may delete the code itself.
    const std::string replaced =
        record.trace.on() ? procedures[i] : std::string();
    DeletionMarks marks(procedures.size());
    deletion_->MarkByRule(static_cast<int32_t>(i), entry->rule, procedures,
                          marks, /*wide=*/false);
    CodeDeleteLogic::DeleteMarked(procedures, marks, &record.trace, entry);
    // The walk goes on after this position: the combination code is not
    // looked up again in this pass.
    if (record.trace.on()) {
      record.trace.Add("Replace").Item("Procedure").Index(static_cast<int64_t>(i))
          .Code(replaced).Rule(entry->rule != nullptr ? entry->rule->name : "")
          .Hrg(entry->hrg).Line(entry->line).Result(entry->hrg);
    }
    procedures[i] = entry->hrg;
  }
  return true;
}

}  // namespace zorvel
