// The global exception HRG: a default trigger list that applies to every
// record; an error HRG from it is reported on the episode.
#include "grouping/exception_logic.h"

#include <string>

#include "grouping/chapter_tables.h"

namespace zorvel {

bool ExceptionLogic::SetUp(const RuleContext* context,
                           const ReferenceData& data) {
  context_ = context;
  triggers_ = DefaultTriggers(data, "Core5");
  return context_ != nullptr && triggers_ != nullptr;
}

bool ExceptionLogic::Derive(Record& record) const {
  if (context_ == nullptr || triggers_ == nullptr) return false;
  TriggerMatch match;
  if (!context_->EvaluateTriggers(record, *triggers_, EvalMode::kPlain,
                                  &match)) {
    return true;
  }
  const std::string& hrg = match.entry->hrg;
  if (!hrg.empty() && hrg.front() == 'U') {
    record.AddError(
        GroupingError::Free("EPISODE", "Global exception grouped to chaper U"));
  }
  record.Set("ExceptHRG", hrg);
  return true;
}

}  // namespace zorvel
