// The non-admitted consultations mode: attendance checks and the chain of
// outpatient derivations.
#include "modes/nac_processor.h"

#include <string>

namespace zorvel {
namespace {

constexpr char kErrorHrg[] = "UZ01Z";

// Validation list, item, whether a blank value is allowed; in check order.
struct Registration {
  const char* list;
  const char* item;
  bool optional;
};

constexpr Registration kRegistrations[] = {
    {"Age", "Age", false},           {"SEX", "SEX", false},
    {"MAINSPEF", "MAINSPEF", false}, {"TRETSPEF", "TRETSPEF", false},
    {"FIRSTATT", "FIRSTATT", false}, {"OPCS", "Procedure", true},
};

}  // namespace

bool NACProcessor::SetUp(const ReferenceData& data) {
  // Every component is bound afresh, so that none keeps pointers into tables
  // an earlier load replaced, even when this set-up stops half way.
  ready_ = false;
  deletion_ = CodeDeleteLogic();
  rule_context_ = RuleContext();
  combination_ = CombinationLogic();
  unbundled_ = UnbundledLogic();
  palliative_care_ = PalliativeCareLogic();
  procedure_hrg_ = ProcHrgLogic();
  nac_hrg_ = NacHrgLogic();
  alt_hrg_ = AltHrgLogic();
  data_ = nullptr;
  if (!SetUpComponents(data)) return false;
  data_ = &data;
  SetFieldLists({}, {"Age", "SEX", "MAINSPEF", "TRETSPEF", "FIRSTATT", "Procedure"}, {},
                {"HRG", "GroupingMethodFlag", "DGVP", "ALT_HRG", "UnbundledHRG"});
  ready_ = true;
  return true;
}

bool NACProcessor::SetUpComponents(const ReferenceData& data) {
  validator_.emplace(data.validation_lists());
  for (const Registration& r : kRegistrations) {
    if (!validator_->AddCheck(r.list, r.optional, r.item)) return false;
  }
  const RuleContext* context = &rule_context_;
  return deletion_.SetUp(data) && rule_context_.SetUp(data) &&
         combination_.SetUp(&deletion_, context, data) &&
         unbundled_.SetUp(&deletion_, context, data, CareSetting::kOutpatient) &&
         palliative_care_.SetUp(&deletion_, context, data, CareSetting::kOutpatient) &&
         procedure_hrg_.SetUp(context, data) && nac_hrg_.SetUp(context, data) &&
         alt_hrg_.SetUp(context, data);
}

bool NACProcessor::Group(Spell& spell) {
  spell.success = false;
  if (!ready_) {
    AddNotInitialisedError(spell, "NAC");
    return false;
  }
  if (spell.episodes.empty()) return true;
  bool all_good = true;
  for (Record& episode : spell.episodes) {
    if (!GroupEpisode(episode)) all_good = false;
  }
  spell.success = all_good;
  return true;
}

bool NACProcessor::PreCheck(Record& episode) const {
  episode.List("Diagnosis");
  episode.List("DiagnosisCC");
  UpperCaseList(episode, "Procedure");
  return validator_->Validate(episode);
}

bool NACProcessor::GroupEpisode(Record& episode) const {
  episode.success = false;
  episode.trace.Enter("NAC");
  const bool input_valid = PreCheck(episode);
  episode.List("ProcedureOld") = episode.List("Procedure");
  episode.Set("EpiDur", "0");
  combination_.Derive(episode);
  const bool unbundled_ok = unbundled_.Derive(episode);
  palliative_care_.Derive(episode);
  procedure_hrg_.Derive(episode);
  nac_hrg_.Derive(episode);
  alt_hrg_.Derive(episode);
  bool good = true;
  if (!unbundled_ok || !input_valid) {
    episode.Set("HRG", kErrorHrg);
    episode.Set("GroupingMethodFlag", "U");
    good = false;
    TraceFinalHrg(episode, "NAC", "the attendance has errors");
  }
  if (episode.Single("HRG") == kErrorHrg) episode.Set("ALT_HRG", "");
  if (episode.errors.empty()) {
    episode.success = true;
  } else {
    good = false;
  }
  return good;
}

}  // namespace zorvel
