// The paediatric critical care grouping mode, code "PCC". Each episode is one
// day of critical care with that day's activity codes in "CCAC". The mode
// checks the day's dates and codes, limits activity code "13" to seven days
// of a spell, picks the dominant activity code through "PCCHier", maps it to
// an HRG through the trigger tables "PCC1" (by code) and "PCC2" (by the first
// four characters of that HRG), and recodes long runs of "52" and "53" days.
#pragma once

#include <memory>

#include "modes/mode_processor.h"
#include "refdata/episode_validator.h"
#include "rules/rule_context.h"

namespace zorvel {

class PCCProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "PCC"; }
  const char* GetDescription() const override {
    return "Paediatric Critical Care (PCC)";
  }
  int32_t GetMaxEpisodes() const override { return 87; }
  bool GetHideSpellOutput() const override { return true; }

  // Builds the validator, the rule context and the grouping context from
  // `data`, which must outlive the mode until the next SetUp. Returns false
  // when "Approach", "Site", "PCCHier", "PCC1"/"CCAC" or "PCC2"/"HRG6" is
  // missing; the validator is built even then.
  bool SetUp(const ReferenceData& data) override;

  // Groups every episode of `spell`. Returns false, with a "PLUGIN" spell
  // error, only when SetUp never ran; otherwise true, the outcome lying in
  // the records. All state of the spell lives for this call only.
  bool Group(Spell& spell) override;

 private:
  struct SpellState;

  bool CheckEpisode(Record& episode) const;
  void DeriveHrg(Record& episode, SpellState& state) const;
  void RecodeLongStay(Record& episode, const char* from, const char* to) const;
  // Picks the dominant code of "CCAC" into "DomCC" and assigns its HRG.
  // False when no code ranks in "PCCHier".
  bool AssignDominant(Record& episode) const;
  void AssignHrg(Record& episode, int position) const;

  std::unique_ptr<EpisodeValidator> validator_;
  RuleContext rule_context_;
  const CodeList* hierarchy_ = nullptr;  // "PCCHier"
  const CodeMap* by_code_ = nullptr;     // "PCC1"/"CCAC"
  const CodeMap* by_hrg_ = nullptr;      // "PCC2"/"HRG6"
  bool ready_ = false;
  const ReferenceData* data_ = nullptr;
};

}  // namespace zorvel
