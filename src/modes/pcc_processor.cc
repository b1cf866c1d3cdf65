// The paediatric critical care mode: day-by-day checks, activity code
// normalisation, the two-stage HRG look-up and the long-stay recoding.
#include "modes/pcc_processor.h"

#include <string>
#include <vector>

#include "common/numbers.h"
#include "modes/critical_care_checks.h"
#include "grouping/chapter_tables.h"

namespace zorvel {

namespace {

// Activity code "13" may be retained on at most this many days of a spell.
constexpr int kMaxThirteenDays = 7;
// A run of more than this many consecutive long-stay days is recoded.
constexpr int kLongStayDays = 90;
// The HRG of the days that count towards a long stay.
constexpr const char* kLongStayHrg = "XB06Z";

// Empties every "13" of `codes` once `retained_days` days of the spell have
// kept one. Returns true when this day kept a "13".
bool LimitThirteen(std::vector<std::string>& codes, int retained_days) {
  bool kept = false;
  for (std::string& code : codes) {
    if (code != "13") continue;
    if (retained_days < kMaxThirteenDays) {
      kept = true;
    } else {
      code.clear();
    }
  }
  return kept;
}

bool AllEmpty(const std::vector<std::string>& codes) {
  for (const std::string& code : codes) {
    if (!code.empty()) return false;
  }
  return true;
}

void ReplaceAll(std::vector<std::string>& codes, const char* from,
                const char* to) {
  for (std::string& code : codes) {
    if (code == from) code = to;
  }
}

}  // namespace

// What one spell carries from day to day; made afresh by every Group call.
struct PCCProcessor::SpellState {
  int thirteen_days = 0;  // days so far that kept an activity code "13"
  int run_52 = 0;         // consecutive "XB06Z" days dominated by "52"
  int run_53 = 0;         // the same for "53"
  bool success = true;
};

bool PCCProcessor::SetUp(const ReferenceData& data) {
  ready_ = false;
  hierarchy_ = nullptr;
  by_code_ = nullptr;
  by_hrg_ = nullptr;

  validator_ = std::make_unique<EpisodeValidator>(data.validation_lists());
  validator_->AddCheck("PCC_CCUF", false, "PCC_CCUF");
  validator_->AddCheck("CCAC", true, "CCAC");
  validator_->AddCheck("DISMETH", false, "DISMETH");
  validator_->AddCheck("ICD", true, "Diagnosis");
  validator_->AddCheck("OPCS", true, "Procedure");

  rule_context_ = RuleContext();
  if (!rule_context_.SetUp(data)) return false;

  hierarchy_ = data.FindList("PCCHier");
  by_code_ = data.FindCodeMap("PCC1", "CCAC");
  by_hrg_ = data.FindCodeMap("PCC2", "HRG6");
  if (hierarchy_ == nullptr || by_code_ == nullptr || by_hrg_ == nullptr) {
    return false;
  }
  ready_ = true;

  data_ = &data;
  SetFieldLists({},
                {"CCDate", "DISDATE", "DISMETH", "PCC_CCUF", "CCAC",
                 "Procedure", "Diagnosis"},
                {}, {"HRG"});
  return true;
}

bool PCCProcessor::Group(Spell& spell) {
  if (validator_ == nullptr) {
    AddNotInitialisedError(spell, "PCC");
    return false;
  }
  SpellState state;
  for (Record& episode : spell.episodes) {
    episode.trace.Enter("PCC");
    const bool checked = CheckEpisode(episode);

    std::vector<std::string>& codes = episode.List("CCAC");
    if (LimitThirteen(codes, state.thirteen_days)) ++state.thirteen_days;
    // A day without any activity code is recorded as "99".
    if (AllEmpty(codes)) codes.emplace_back("99");

    // A death on a later day than the day of care is not a death on the day.
    if (critical_care::HasValue(episode, "DISMETH", "4") &&
        !critical_care::SameText(episode, "CCDate", "DISDATE")) {
      episode.Set("DISMETH", "9");
    }

    if (checked) DeriveHrg(episode, state);

    if (episode.errors.empty()) {
      episode.success = true;
      TraceFinalHrg(episode, "PCC");
    } else {
      episode.Set("HRG", "UZ01Z");
      state.success = false;
      TraceFinalHrg(episode, "PCC", "the episode has errors");
    }
  }
  spell.success = state.success;
  return true;
}

bool PCCProcessor::CheckEpisode(Record& episode) const {
  bool good = critical_care::CheckDate(episode, "CCDate");
  good = critical_care::CheckDate(episode, "DISDATE") && good;
  UpperCaseList(episode, "Diagnosis");
  UpperCaseList(episode, "Procedure");
  return validator_->Validate(episode) && good;
}

void PCCProcessor::DeriveHrg(Record& episode, SpellState& state) const {
  if (!ready_) return;
  if (!AssignDominant(episode)) return;  // no ranked code: runs unchanged

  // After ninety consecutive long-stay days on "52" (or "53") the day's code
  // is recoded to its long-stay form "57" (or "58") and grouped again.
  if (critical_care::HasValue(episode, "HRG", kLongStayHrg) &&
      critical_care::HasValue(episode, "DomCC", "52")) {
    if (++state.run_52 > kLongStayDays) RecodeLongStay(episode, "52", "57");
  } else {
    state.run_52 = 0;
  }
  if (critical_care::HasValue(episode, "HRG", kLongStayHrg) &&
      critical_care::HasValue(episode, "DomCC", "53")) {
    ++state.run_53;
  } else {
    state.run_53 = 0;
  }
  if (state.run_53 > kLongStayDays) RecodeLongStay(episode, "53", "58");
}

void PCCProcessor::RecodeLongStay(Record& episode, const char* from,
                                  const char* to) const {
  ReplaceAll(episode.List("CCAC"), from, to);
  AssignDominant(episode);
}

bool PCCProcessor::AssignDominant(Record& episode) const {
  // Only positive ranks count: a code of rank 0 is never dominant.
  const std::vector<std::string>& codes = episode.List("CCAC");
  const int position = critical_care::DominantPosition(codes, *hierarchy_, 0);
  TraceDominant(episode, "CCAC", codes, position < 0 ? kNoPosition : position,
                *hierarchy_);
  if (position < 0) return false;
  episode.Set("DomCC", codes[position]);
  AssignHrg(episode, position);
  return true;
}

void PCCProcessor::AssignHrg(Record& episode, int position) const {
  const std::string& dominant = episode.Single("DomCC");
  episode.Set("GateTriggerPos", ToDecimal(position));
  episode.Set("GateTriggerField", "Procedure");
  const HrgEntry* entry =
      rule_context_.MatchCode(episode, *by_code_, dominant, EvalMode::kDgvp);
  if (entry == nullptr) return;
  episode.Set("HRG", entry->hrg);
  if (entry->error_code.compare(0, 2, "UZ") == 0) {
    episode.Set("HRG_ERROR", entry->error_code);
  }

  // The second stage refines the HRG by its first four characters.
  const std::string root(entry->hrg, 0, 4);
  const HrgEntry* refined =
      rule_context_.MatchCode(episode, *by_hrg_, root, EvalMode::kDgvp);
  if (refined != nullptr) episode.Set("HRG", refined->hrg);
}

}  // namespace zorvel
