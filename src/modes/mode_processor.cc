// Field lists and the not-initialised error shared by the modes.
#include "modes/mode_processor.h"

#include <utility>

namespace zorvel {

void ModeProcessorBase::SetFieldLists(FieldList input_spell,
                                      FieldList input_episode,
                                      FieldList output_spell,
                                      FieldList output_episode) {
  input_spell_fields_ = std::move(input_spell);
  input_episode_fields_ = std::move(input_episode);
  output_spell_fields_ = std::move(output_spell);
  output_episode_fields_ = std::move(output_episode);
}

void ModeProcessorBase::AddNotInitialisedError(Spell& spell,
                                               const char* prefix) {
  spell.AddError(GroupingError::Free(
      "PLUGIN", std::string(prefix) + " Processor has not been initalised"));
}

void ModeProcessorBase::TraceFinalHrg(Record& record, const char* mode,
                                      const char* reason) {
  if (!record.trace.on()) return;
  record.trace.Enter(mode);
  const std::string* hrg = record.FindSingle("HRG");
  TraceStep& step = record.trace.Add("Set").Item("HRG");
  // A record that got no HRG has a step without a result.
  if (hrg != nullptr) step.Result(*hrg);
  if (reason != nullptr) {
    step.Reason(reason);
  } else if (hrg == nullptr || hrg->empty()) {
    step.Reason("no table gave an HRG");
  }
}

}  // namespace zorvel
