// The renal grouping mode, code "NRD". Each episode is one unit of renal
// activity: its modality ("RenalMod") chooses an HRG through the "Renal"
// trigger table; the blood-borne virus statuses ("HCV", "HBV", "HIV") are
// upper-cased and gathered into "RenalBBV" for the rules to test.
#pragma once

#include <optional>

#include "modes/mode_processor.h"
#include "refdata/episode_validator.h"
#include "rules/rule_context.h"

namespace zorvel {

class RenalProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "NRD"; }
  const char* GetDescription() const override {
    return "National Renal Dataset (NRD)";
  }
  int32_t GetMaxEpisodes() const override { return 1; }
  bool GetHideSpellOutput() const override { return true; }

  // Builds the validator, then needs the qualifier lists "Approach" and
  // "Site" and the "Renal" trigger table with code type "RenalMod"; returns
  // false at the first that is missing. Fills the field lists last.
  bool SetUp(const ReferenceData& data) override;

  // Groups every episode; one that failed validation or met the renal error
  // ends with "HRG" "UZ01Z". The spell succeeds when it has episodes and all
  // of them did. Returns false, with a "PLUGIN" spell error, only when
  // set-up did not find the modality table.
  bool Group(Spell& spell) override;

 private:
  // Normalises the access and virus fields and validates the episode; true
  // when validation passed.
  bool PrepareEpisode(Record& episode) const;
  // Writes "HRG", or the renal error, from the modality's trigger list.
  void DeriveHrg(Record& episode) const;

  const ReferenceData* data_ = nullptr;
  const CodeMap* modalities_ = nullptr;  // "Renal" / "RenalMod"
  std::optional<EpisodeValidator> validator_;
  RuleContext rule_context_;
};

}  // namespace zorvel
