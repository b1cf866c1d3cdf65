// The renal mode: virus status normalisation, validation and the HRG of the
// modality, with the renal error "UZ14".
#include "modes/renal_processor.h"

#include <cctype>

namespace zorvel {
namespace {

// Upper-cases `text` in place by the current locale's mapping.
void UpperCase(std::string& text) {
  for (char& c : text) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
}

// Gathers the virus statuses into "RenalBBV" in the order the rules expect:
// hepatitis C, hepatitis B, HIV. Statuses the episode lacks are created
// empty; the list is appended to, not replaced.
void AppendVirusStatuses(Record& episode) {
  std::vector<std::string>& statuses = episode.List("RenalBBV");
  for (const char* item : {"HCV", "HBV", "HIV"}) {
    statuses.push_back(episode.Single(item));
  }
}

}  // namespace

bool RenalProcessor::SetUp(const ReferenceData& data) {
  data_ = &data;
  // The modality map of an earlier load is stale once the tables reload;
  // until this set-up finds the new one, grouping refuses to run.
  modalities_ = nullptr;

  validator_.emplace(data.validation_lists());
  validator_->AddCheck("Age", false, "Age");
  validator_->AddCheck("RenalMod", false, "RenalMod");
  validator_->AddCheck("RenalSite", false, "RenalSite");
  validator_->AddCheck("RenalAccess", true, "RenalAccess");
  for (const char* item : {"HCV", "HBV", "HIV"}) {
    validator_->AddCheck("RenalBBV", true, item);
  }

  rule_context_ = RuleContext();
  if (!rule_context_.SetUp(data)) return false;
  const CodeMap* modalities = data.FindCodeMap("Renal", "RenalMod");
  if (modalities == nullptr) return false;
  modalities_ = modalities;

  SetFieldLists({},
                {"RenalMod", "RenalSite", "RenalAccess", "HBV", "HCV", "HIV",
                 "Age"},
                {}, {"HRG"});
  return true;
}

bool RenalProcessor::Group(Spell& spell) {
  spell.success = false;
  if (modalities_ == nullptr) {
    AddNotInitialisedError(spell, "Renal");
    return false;
  }
  // A spell without episodes has nothing grouped and stays unsuccessful.
  if (spell.episodes.empty()) return true;

  bool all_grouped = true;
  for (Record& episode : spell.episodes) {
    episode.trace.Enter("NRD");
    episode.success = PrepareEpisode(episode);
    AppendVirusStatuses(episode);
    DeriveHrg(episode);
    if (!episode.success) {
      episode.Set("HRG", "UZ01Z");
      all_grouped = false;
      TraceFinalHrg(episode, "NRD", "the episode has errors");
    } else {
      TraceFinalHrg(episode, "NRD");
    }
  }
  spell.success = all_grouped;
  return true;
}

bool RenalProcessor::PrepareEpisode(Record& episode) const {
  if (!validator_) return false;
  episode.Single("RenalAccess");  // present afterwards, empty when missing
  for (const char* item : {"HBV", "HCV", "HIV"}) {
    UpperCase(episode.Single(item));
  }
  return validator_->Validate(episode);
}

void RenalProcessor::DeriveHrg(Record& episode) const {
  const std::string& modality = episode.Single("RenalMod");
  const HrgEntry* match = rule_context_.MatchCode(episode, *modalities_,
                                                  modality, EvalMode::kPlain);
  if (match == nullptr) return;
  const HrgEntry& entry = *match;
  // An error HRG never becomes the episode's HRG; only the renal error code
  // turns it into an episode error.
  if (!entry.hrg.empty() && entry.hrg[0] == 'U') {
    if (entry.error_code == "UZ14") {
      episode.success = false;
      episode.AddError(
          GroupingError::WithValue("RenalMod", modality, kUz14RenalError));
    }
    return;
  }
  if (episode.success) episode.Set("HRG", entry.hrg);
}

}  // namespace zorvel
