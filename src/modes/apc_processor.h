// The admitted patient care grouping mode, code "APC". Each episode is
// checked, its durations derived and its coded content run through the
// chapter chain: combinations and code deletion, unbundled and palliative
// care HRGs, trauma, burns, procedure, global exception and diagnosis HRGs,
// the final HRG and PBC. A spell of one episode is finished on the episode,
// which then reports the spell; a spell of several is validated and grouped
// as a whole, the chain running again on its assembled codes.
#pragma once

#include <optional>

#include "grouping/bp_logic.h"
#include "grouping/burn_logic.h"
#include "grouping/code_delete_logic.h"
#include "grouping/combination_logic.h"
#include "grouping/diag_hrg_logic.h"
#include "grouping/exception_logic.h"
#include "grouping/palliative_care_logic.h"
#include "grouping/pbc_logic.h"
#include "grouping/proc_hrg_logic.h"
#include "grouping/spell_grouping_logic.h"
#include "grouping/trauma_logic.h"
#include "grouping/unbundled_logic.h"
#include "modes/mode_processor.h"
#include "modes/spell_validator.h"
#include "refdata/episode_validator.h"
#include "rules/rule_context.h"

namespace zorvel {

class APCProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "APC"; }
  const char* GetDescription() const override {
    return "Admitted Patient Care (APC)";
  }
  int32_t GetMaxEpisodes() const override { return 87; }
  bool GetHideSpellOutput() const override { return false; }

  // Builds the validator and sets up every component in chain order,
  // stopping at the first whose tables are missing. The field lists are
  // filled, and the mode groups, only when everything was found.
  bool SetUp(const ReferenceData& data) override;

  // Groups every episode, then finishes a spell of one episode on it, or
  // groups a spell of any other count as a whole. A mode whose set-up did
  // not complete answers its not-initialised error.
  bool Group(Spell& spell) override;

 private:
  bool SetUpComponents(const ReferenceData& data);
  // Checks identifier, diagnoses and procedures, then runs the validator.
  bool PreCheck(Record& episode) const;
  // Groups one episode; true when it ended successfully.
  bool GroupEpisode(Record& episode) const;
  void FinishSingleEpisode(Spell& spell) const;
  // Groups a spell of several episodes (or of none) as a whole.
  void GroupSpell(Spell& spell, bool all_episodes_valid) const;

  bool ready_ = false;
  std::optional<EpisodeValidator> validator_;
  RuleContext rule_context_;
  CodeDeleteLogic deletion_;
  CombinationLogic combination_;
  UnbundledLogic unbundled_;
  PalliativeCareLogic palliative_care_;
  BurnLogic burn_;
  TraumaLogic trauma_;
  ProcHrgLogic procedure_hrg_;
  ExceptionLogic exception_;
  DiagHrgLogic diagnosis_hrg_;
  EpisodePbcLogic episode_pbc_;
  SpellGroupingLogic spell_grouping_;
  const ReferenceData* data_ = nullptr;
  BpLogic bp_;
  SpellPbcLogic spell_pbc_;
  SpellValidator spell_validator_;
};

// The episode's durations: "EpiDur" net of critical care, rehabilitation
// and palliative care days (never below 0), the received value kept in
// "EpiDurValue", the four counts in "EpiDurArray" and "ReportingEpiDur"
// (a day case of patient classification "1" reports one day).
void DeriveDurations(Record& episode);

// Appends to "DiagnosisCC" every diagnosis except a secondary one of the
// primary's three-character category that is the primary again or has "9"
// as its fourth character.
void DeriveDiagnosisCc(Record& record);

}  // namespace zorvel
