// The global exception HRG: a default trigger list that applies to every
// record; an error HRG from it is reported on the episode.
#include "grouping/exception_logic.h"

#include <string>

#include "grouping/chapter_tables.h"

namespace zorvel {

bool ExceptionLogic::SetUp(const RuleContext* context,
                           const ReferenceData& data) {
  context_ = context;
  triggers_ = DefaultCodes(data, "Core5");
  return context_ != nullptr && triggers_ != nullptr;
}

bool ExceptionLogic::Derive(Record& record) const {
  if (context_ == nullptr || triggers_ == nullptr) return false;
  record.trace.Enter("Exception");
  const HrgEntry* entry =
      context_->MatchCode(record, *triggers_, kDefaultCode, EvalMode::kPlain);
  if (entry == nullptr) return true;
  const std::string_view hrg = entry->hrg;
  if (!hrg.empty() && hrg.front() == 'U') {
    record.AddError(
        GroupingError::Free("EPISODE", "Global exception grouped to chaper U"));
  }
  record.Set("ExceptHRG", hrg);
  record.trace.Set("ExceptHRG", hrg);
  return true;
}

}  // namespace zorvel
