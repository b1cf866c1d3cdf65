// Prepare, Process and GetSchema of the plug-in object.
#include "plugin/processor.h"

#include <new>
#include <string>

#include "protocol/response_writer.h"
#include "protocol/schema_writer.h"

namespace zorvel {
namespace {

constexpr uint32_t kMinimumResponseBuffer = 256;
constexpr char kPluginField[] = "PLUGIN";
constexpr char kUnknownModeMessage[] =
    "Unknown grouping method, please use APC/ACC/PCC/NAC/EM/NCC/RENAL";
constexpr char kInternalErrorMessage[] = "Internal grouping processor error";

}  // namespace

bool Processor::Prepare(const char* location) {
  try {
    if (PrepareOrThrow(location)) return true;
  } catch (...) {
    registry_.clear();
  }
  return false;
}

bool Processor::PrepareOrThrow(const char* location) {
  if (location == nullptr) {
    registry_.clear();
    return false;
  }
  if (data_.LoadAll(std::string(location)) != LoadStatus::kOk) {
    // The modes may hold pointers into the tables just cleared: none of them
    // may be reached again until a load succeeds.
    registry_.clear();
    return false;
  }
  // Registration order; an existing code is left as it is.
  IModeProcessor* const modes[] = {&renal_, &nac_, &apc_, &ncc_,
                                   &acc_,   &em_,  &pcc_};
  for (IModeProcessor* mode : modes) registry_.emplace(mode->GetCode(), mode);
  // Every mode is set up, also after one has failed.
  bool all_ready = true;
  for (auto& entry : registry_) {
    all_ready = entry.second->SetUp(data_) && all_ready;
  }
  ResolveOutputFields();
  return all_ready;
}

// The modes' output field lists stay as set-up left them until the next
// Prepare, so they are looked up in the dictionary once, here.
void Processor::ResolveOutputFields() {
  mode_outputs_.clear();
  for (const auto& entry : registry_) {
    const IModeProcessor& mode = *entry.second;
    mode_outputs_.push_back(ModeOutput{&mode,
                                       ResolveFields(mode.GetOutputSpellFields()),
                                       ResolveFields(mode.GetOutputEpisodeFields())});
  }
}

uint32_t Processor::Process(int32_t /*reserved*/, const char* request,
                            char* buffer, uint32_t size) {
  if (buffer == nullptr || size < kMinimumResponseBuffer) return 0;
  BoundedOutputStream stream(buffer, size);
  if (request == nullptr) return WriteEmptyResponse(stream);
  try {
    try {
      if (!request_.Read(request)) return WriteEmptyResponse(stream);
      return ProcessOrThrow(request_, stream);
    } catch (...) {
      return WriteFailure(request_, buffer, size);
    }
  } catch (...) {
    BoundedOutputStream fresh(buffer, size);
    return WriteEmptyResponse(fresh);
  }
}

uint32_t Processor::ProcessOrThrow(GroupingRequest& request,
                                   BoundedOutputStream& stream) {
  Spell& spell = request.spell();
  auto found = registry_.find(request.group());
  if (spell.trace.on()) {
    spell.trace.Enter("Plugin");
    spell.trace.Add("Mode").Code(request.group()).Result(
        found == registry_.end() ? "unknown" : found->second->GetDescription());
  }
  // "MaxErrors" limits nothing, but a text that is not a number cannot be
  // read: the request is then answered as a grouping that could not run.
  if (request.max_errors_status() == MaxErrorsStatus::kUnreadable) {
    spell.AddError(GroupingError::Free(kPluginField, kInternalErrorMessage));
    return WriteResponse(spell, nullptr, stream);
  }
  if (found == registry_.end()) {
    spell.AddError(GroupingError::Free(kPluginField, kUnknownModeMessage));
    return WriteResponse(spell, nullptr, stream);
  }
  IModeProcessor& mode = *found->second;
  const ModeOutput* output = nullptr;
  for (const ModeOutput& candidate : mode_outputs_) {
    if (candidate.mode == &mode) output = &candidate;
  }
  if (output == nullptr) {
    spell.AddError(GroupingError::Free(kPluginField, kInternalErrorMessage));
    return WriteResponse(spell, nullptr, stream);
  }
  ResolveFields(request.extra_spell_items(), extra_spell_items_);
  ResolveFields(request.extra_episode_items(), extra_episode_items_);
  OutputFields fields;
  fields.spell_fields = &output->spell_fields;
  fields.episode_fields = &output->episode_fields;
  fields.extra_spell_items = &extra_spell_items_;
  fields.extra_episode_items = &extra_episode_items_;
  if (!mode.Group(spell)) {
    spell.AddError(GroupingError::Free(kPluginField, kInternalErrorMessage));
    return WriteResponse(spell, nullptr, stream);
  }
  return WriteResponse(spell, &fields, stream);
}

// The answer of a grouping that could not complete: the spell's errors so
// far plus the internal error, no output fields, written afresh from the
// start of the buffer.
uint32_t Processor::WriteFailure(GroupingRequest& request, char* buffer,
                                 uint32_t size) {
  Spell& spell = request.spell();
  spell.AddError(GroupingError::Free(kPluginField, kInternalErrorMessage));
  BoundedOutputStream stream(buffer, size);
  return WriteResponse(spell, nullptr, stream);
}

uint32_t Processor::GetSchema(char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  try {
    BoundedOutputStream stream(buffer, size);
    return WriteSchema(registry_, stream);
  } catch (...) {
    buffer[0] = '\0';
    return 0;
  }
}

}  // namespace zorvel
