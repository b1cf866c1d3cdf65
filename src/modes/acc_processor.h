// The adult critical care grouping mode, code "ACC". Each episode is one
// critical care period: its unit function code ("ACC_CCUF") chooses an HRG
// through trigger table "ACC1", and its start and end dates give the length
// of the period, against which the day counts are checked ("Flag").
#pragma once

#include <optional>

#include "modes/mode_processor.h"
#include "refdata/episode_validator.h"
#include "rules/rule_context.h"

namespace zorvel {

// The number of daily counts of a period, gathered into "ACCDays".
constexpr size_t kDayCount = 10;

class ACCProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "ACC"; }
  const char* GetDescription() const override {
    return "Adult Critical Care (ACC)";
  }
  int32_t GetMaxEpisodes() const override { return 1; }
  bool GetHideSpellOutput() const override { return true; }

  // Builds the validator, then needs the qualifier lists "Approach" and
  // "Site" and the trigger table "ACC1" with code type "ACC_CCUF"; returns
  // false at the first that is missing. The field lists are filled only when
  // everything was found.
  bool SetUp(const ReferenceData& data) override;

  // Validates and groups every episode; an episode with errors ends with
  // "HRG" "UZ01Z". The spell succeeds when every episode did (also when it
  // has none). Always returns true.
  bool Group(Spell& spell) override;

 private:
  // Writes "HRG" from the "ACC1" trigger list of the episode's unit function
  // code, and the "UZ13" error when the chosen entry carries it.
  void DeriveHrg(Record& episode) const;

  // The keys of the daily counts, in the order of "ACCDays".
  ItemKey day_keys_[kDayCount];
  std::optional<EpisodeValidator> validator_;
  RuleContext rule_context_;
  const CodeMap* unit_triggers_ = nullptr;  // "ACC1" / "ACC_CCUF"; null until found
  const ReferenceData* data_ = nullptr;
};

}  // namespace zorvel
