// The adult critical care mode: validation, the day-count array, the HRG of
// the unit function code and the period length with its consistency flag.
#include "modes/acc_processor.h"

#include <cstdint>

#include "common/dates.h"
#include "common/numbers.h"

namespace zorvel {
namespace {

// The daily counts of a period, in the order they are gathered into
// "ACCDays".
constexpr const char* kDayItems[kDayCount] = {
    "BCSD", "ACSD", "BRSD", "ARSD", "RSD", "NSD", "DSD", "LSD", "CCL2D", "CCL3D"};

// Appends the ten day counts, found by their keys, to "ACCDays"; a count
// the episode does not carry contributes an empty text and is not created.
void AppendAccDays(const ItemKey (&day_keys)[kDayCount], Record& episode) {
  std::vector<std::string>& days = episode.List("ACCDays");
  days.reserve(days.size() + kDayCount);
  for (const ItemKey& key : day_keys) {
    const std::string* value = episode.FindSingle(key);
    if (value != nullptr) {
      days.emplace_back(*value);
    } else {
      days.emplace_back();
    }
  }
}

// Length of the period in days, counting both ends; -1 when a date is
// missing or empty, or the end lies before the start (an invalid date gives
// a difference of -1 and so lands here too).
int64_t PeriodDays(const Record& episode) {
  const std::string* start = episode.FindSingle("CC_Start_Date");
  const std::string* end = episode.FindSingle("CC_Discharge_Date");
  if (start == nullptr || end == nullptr || start->empty() || end->empty()) {
    return -1;
  }
  const int difference = DayDifference(*start, *end);
  return difference < 0 ? -1 : int64_t{difference} + 1;
}

// Writes "Calc_CC_Days", and "Flag" "F" when the length is unknown or the
// day counts do not fit into it: more level 2 and 3 days than days, more
// support days than days, or more support days than level days. "Flag" is
// left as it was otherwise. Missing counts are created empty and count 0.
// The sums are taken in 64 bits so that large counts cannot overflow.
void DeriveDaysAndFlag(Record& episode) {
  const int64_t days = PeriodDays(episode);
  const int64_t levels = int64_t{LeadingIntOrZero(episode.Single("CCL2D"))} +
                         LeadingIntOrZero(episode.Single("CCL3D"));
  const int64_t support = int64_t{LeadingIntOrZero(episode.Single("ARSD"))} +
                          LeadingIntOrZero(episode.Single("BRSD"));
  if (days == -1 || levels > days || support > days || support > levels) {
    episode.Set("Flag", "F");
  }
  episode.Set("Calc_CC_Days", ToDecimal(days));
}

}  // namespace

bool ACCProcessor::SetUp(const ReferenceData& data) {
  // Pointers from an earlier load are stale once the tables reload.
  unit_triggers_ = nullptr;
  data_ = nullptr;

  for (size_t i = 0; i < kDayCount; ++i) day_keys_[i] = ItemKey(kDayItems[i]);
  validator_.emplace(data.validation_lists());
  validator_->AddCheck("ACC_CCUF", false, "ACC_CCUF");
  for (const char* item : {"BCSD", "ACSD"}) {
    validator_->AddCheck("ACCDays", true, item);
  }
  for (const char* item : {"BRSD", "ARSD"}) {
    validator_->AddCheck("ACCDays", true, item, "0");
  }
  for (const char* item : {"RSD", "NSD", "DSD", "LSD"}) {
    validator_->AddCheck("ACCDays", true, item);
  }
  for (const char* item : {"CCL2D", "CCL3D"}) {
    validator_->AddCheck("ACCDays", true, item, "0");
  }

  rule_context_ = RuleContext();
  if (!rule_context_.SetUp(data)) return false;

  unit_triggers_ = data.FindCodeMap("ACC1", "ACC_CCUF");
  if (unit_triggers_ == nullptr) return false;

  data_ = &data;
  SetFieldLists({},
                {"ACC_CCUF", "BCSD", "ACSD", "BRSD", "ARSD", "RSD", "NSD",
                 "DSD", "LSD", "CCL2D", "CCL3D", "CC_Start_Date",
                 "CC_Discharge_Date"},
                {}, {"HRG", "Calc_CC_Days", "Flag"});
  return true;
}

bool ACCProcessor::Group(Spell& spell) {
  bool all_grouped = true;
  for (Record& episode : spell.episodes) {
    episode.trace.Enter("ACC");
    if (validator_) validator_->Validate(episode);
    AppendAccDays(day_keys_, episode);
    DeriveHrg(episode);
    DeriveDaysAndFlag(episode);
    if (episode.errors.empty()) {
      episode.success = true;
      TraceFinalHrg(episode, "ACC");
    } else {
      episode.Set("HRG", "UZ01Z");
      episode.success = false;
      all_grouped = false;
      TraceFinalHrg(episode, "ACC", "the episode has errors");
    }
  }
  spell.success = all_grouped;
  return true;
}

void ACCProcessor::DeriveHrg(Record& episode) const {
  if (unit_triggers_ == nullptr) return;
  // The validator creates "ACC_CCUF" when it checks it; it can only be
  // absent when the tables lack the "ACC_CCUF" validation list. Such an
  // episode has no unit to group by, so it gets no HRG (and, having no
  // error either, stays successful), rather than being looked up as an
  // empty code.
  const std::string* unit = episode.FindSingle("ACC_CCUF");
  if (unit == nullptr) return;
  const HrgEntry* entry =
      rule_context_.MatchCode(episode, *unit_triggers_, *unit, EvalMode::kDgvp);
  if (entry == nullptr) return;
  episode.Set("HRG", entry->hrg);
  if (entry->error_code == "UZ13") {
    episode.AddError(GroupingError::WithValue("ACC_CCUF", *unit,
                                              kUz13AccGroupingError));
  }
}

}  // namespace zorvel
