// The neonatal critical care grouping mode, code "NCC". Each episode is one
// day of neonatal care with that day's activity codes in "CCAC". The mode
// bands the baby's weight, adds the activity codes implied by an empty day
// ("99"), prematurity ("09") and death on the day ("01"), picks the dominant
// code through "NCCHier" and maps it to an HRG through trigger table "NCC1".
#pragma once

#include <memory>

#include "modes/mode_processor.h"
#include "refdata/episode_validator.h"
#include "rules/rule_context.h"

namespace zorvel {

class NCCProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "NCC"; }
  const char* GetDescription() const override {
    return "Neonatal Critical Care (NCC)";
  }
  int32_t GetMaxEpisodes() const override { return 250; }
  bool GetHideSpellOutput() const override { return true; }

  // Builds the validator, the rule context and the grouping context from
  // `data`, which must outlive the mode until the next SetUp. Returns false
  // when "Approach", "Site", "NCCHier" or "NCC1"/"CCAC" is missing; the
  // validator is built even then.
  bool SetUp(const ReferenceData& data) override;

  // Groups every episode of `spell`. Returns false, with a "PLUGIN" spell
  // error, only when SetUp never ran; otherwise true. The spell succeeds
  // when its own error list is empty; episode errors do not affect it.
  bool Group(Spell& spell) override;

 private:
  bool CheckEpisode(Record& episode) const;
  void DeriveHrg(Record& episode) const;

  std::unique_ptr<EpisodeValidator> validator_;
  RuleContext rule_context_;
  const CodeList* hierarchy_ = nullptr;  // "NCCHier"
  const CodeMap* by_code_ = nullptr;     // "NCC1"/"CCAC"
  bool ready_ = false;
  const ReferenceData* data_ = nullptr;
};

namespace internal {

// The weight band of a "PerWt" text (kilograms): "0001_2000" for a weight
// above 0 and up to 2.0, "2001_9999" above 2.0 and below 10.0, otherwise the
// text itself. Only texts of at most three digits, an optional ".", and at
// most three digits after it are read as weights.
std::string WeightBand(const std::string& weight);

}  // namespace internal
}  // namespace zorvel
