// The emergency medicine grouping mode, code "EM". Each episode is one
// attendance with coded investigations ("Invest") and treatments ("Treat").
// Every investigation/treatment pair is looked up in the "EM" "Combination"
// trigger table and the byte-wise smallest HRG found wins; the patient group
// ("AEPatGroup") may then override it.
#pragma once

#include <optional>
#include <string>

#include "modes/mode_processor.h"
#include "refdata/episode_validator.h"
#include "rules/rule_context.h"

namespace zorvel {

class EMProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "EM"; }
  const char* GetDescription() const override {
    return "Emergency Medicine (EM)";
  }
  int32_t GetMaxEpisodes() const override { return 1; }
  bool GetHideSpellOutput() const override { return true; }

  // Needs the "EM" trigger table with code types "Combination" and
  // "AEPatGroup" and the qualifier lists "Approach" and "Site"; returns
  // false at the first that is missing. Then fills the field lists and
  // builds the validator.
  bool SetUp(const ReferenceData& data) override;

  // Groups every attendance; one without an HRG, or with errors, ends with
  // "HRG" "UZ01Z". The spell succeeds when every episode did (also when it
  // has none). Returns false, with a "PLUGIN" spell error, only when set-up
  // did not complete.
  bool Group(Spell& spell) override;

 private:
  // Fills in a missing investigation or treatment and validates the
  // episode; true when validation passed.
  bool PrepareEpisode(Record& episode) const;
  // Tries every investigation/treatment pair; `key` is scratch space reused
  // for a look-up key too long to be made on the stack.
  void SearchCombinations(Record& episode, std::string& key) const;
  // Lets the patient group's trigger list replace the HRG found.
  void OverridePatientGroup(Record& episode) const;

  const CodeMap* combinations_ = nullptr;    // "EM" / "Combination"
  const CodeMap* patient_groups_ = nullptr;  // "EM" / "AEPatGroup"
  std::optional<EpisodeValidator> validator_;
  RuleContext rule_context_;
};

}  // namespace zorvel
