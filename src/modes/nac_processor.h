// The non-admitted consultations grouping mode, code "NAC": one outpatient
// attendance per spell. Its procedures go through combinations, unbundled
// and palliative care HRGs and the procedure HRG; the attendance's HRG is
// then chosen by NacHrgLogic (procedure, outpatient procedure, global
// default, or an outpatient fallback) and its alternative HRG by specialty.
#pragma once

#include <optional>

#include "grouping/code_delete_logic.h"
#include "grouping/combination_logic.h"
#include "grouping/nac_hrg_logic.h"
#include "grouping/palliative_care_logic.h"
#include "grouping/proc_hrg_logic.h"
#include "grouping/unbundled_logic.h"
#include "modes/mode_processor.h"
#include "refdata/episode_validator.h"
#include "rules/rule_context.h"

namespace zorvel {

class NACProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "NAC"; }
  const char* GetDescription() const override {
    return "Non-Admitted Consultations (NAC)";
  }
  int32_t GetMaxEpisodes() const override { return 1; }
  bool GetHideSpellOutput() const override { return true; }

  // Builds the validator and sets up every component in order, stopping at
  // the first whose tables are missing; the field lists are filled, and the
  // mode groups, only when everything was found.
  bool SetUp(const ReferenceData& data) override;

  // Groups every attendance of the spell; the spell succeeds when every
  // attendance grouped without errors. A spell without attendances does not
  // succeed. A mode whose set-up did not complete answers its
  // not-initialised error.
  bool Group(Spell& spell) override;

 private:
  bool SetUpComponents(const ReferenceData& data);
  // Creates the diagnosis lists, upper-cases procedures, runs the validator.
  bool PreCheck(Record& episode) const;
  // Groups one attendance; true when it ended without errors and with its HRG.
  bool GroupEpisode(Record& episode) const;

  bool ready_ = false;
  std::optional<EpisodeValidator> validator_;
  CodeDeleteLogic deletion_;
  RuleContext rule_context_;
  CombinationLogic combination_;
  UnbundledLogic unbundled_;
  PalliativeCareLogic palliative_care_;
  ProcHrgLogic procedure_hrg_;
  NacHrgLogic nac_hrg_;
  AltHrgLogic alt_hrg_;
  const ReferenceData* data_ = nullptr;
};

}  // namespace zorvel
