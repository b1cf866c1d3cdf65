// The neonatal critical care mode: weight band, implied activity codes,
// dominant code and the "NCC1" look-up with its two error codes.
#include "modes/ncc_processor.h"

#include <string>
#include <vector>

#include "common/numbers.h"
#include "modes/critical_care_checks.h"
#include "grouping/chapter_tables.h"

namespace zorvel {

namespace {

// A weight is written with at most this many digits on either side of ".".
constexpr size_t kMaxWeightDigits = 3;

// The weight in grams of a text of the form ddd.ddd (each part at most three
// digits, either part may be empty). Returns -1 for any other text, and also
// for a text with no digit at all (empty, or a lone "."): such a text is no
// number, so it is banded like any other text that is not a weight.
int32_t WeightInGrams(const std::string& text) {
  const size_t point = text.find('.');
  const size_t whole_end = point == std::string::npos ? text.size() : point;
  const size_t frac_begin =
      point == std::string::npos ? text.size() : point + 1;
  const size_t frac_digits = text.size() - frac_begin;
  if (whole_end > kMaxWeightDigits || frac_digits > kMaxWeightDigits) {
    return -1;
  }
  if (whole_end == 0 && frac_digits == 0) return -1;  // "" or "."
  int32_t whole = 0;
  for (size_t i = 0; i < whole_end; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    whole = whole * 10 + (text[i] - '0');
  }
  int32_t grams = 0;
  int32_t scale = 100;
  for (size_t i = frac_begin; i < text.size(); ++i, scale /= 10) {
    if (text[i] < '0' || text[i] > '9') return -1;  // also a second "."
    grams += (text[i] - '0') * scale;
  }
  return whole * 1000 + grams;
}

bool IsPremature(int32_t age_days, int32_t gestation_weeks,
                 bool low_weight) {
  return (age_days < 3 && gestation_weeks == 35) || gestation_weeks < 34 ||
         (age_days < 8 && gestation_weeks == 34) ||
         (age_days < 3 && low_weight);
}

}  // namespace

namespace internal {

std::string WeightBand(const std::string& weight) {
  // With at most three decimals, comparing exact grams gives the same bands
  // as comparing the weight read as a single-precision number of kilograms.
  const int32_t grams = WeightInGrams(weight);
  if (grams > 0 && grams <= 2000) return "0001_2000";
  if (grams > 2000 && grams < 10000) return "2001_9999";
  return weight;
}

}  // namespace internal

bool NCCProcessor::SetUp(const ReferenceData& data) {
  ready_ = false;
  hierarchy_ = nullptr;
  by_code_ = nullptr;

  validator_ = std::make_unique<EpisodeValidator>(data.validation_lists());
  validator_->AddCheck("DISMETH", false, "DISMETH");
  validator_->AddCheck("Age_days", false, "Age_days", "0");
  validator_->AddCheck("CCAC", true, "CCAC");
  validator_->AddCheck("NCC_CCUF", false, "NCC_CCUF");
  validator_->AddCheck("PerWtBand", false, "PerWtBand", "", "PerWt");
  validator_->AddCheck("GestLen", false, "GestLen", "0");

  rule_context_ = RuleContext();
  if (!rule_context_.SetUp(data)) return false;

  hierarchy_ = data.FindList("NCCHier");
  by_code_ = data.FindCodeMap("NCC1", "CCAC");
  if (hierarchy_ == nullptr || by_code_ == nullptr) return false;
  ready_ = true;

  data_ = &data;
  SetFieldLists({},
                {"CCDate", "DISDATE", "NCC_CCUF", "Age_days", "DISMETH",
                 "GestLen", "PerWt", "CCAC"},
                {}, {"HRG"});
  return true;
}

bool NCCProcessor::Group(Spell& spell) {
  if (validator_ == nullptr) {
    AddNotInitialisedError(spell, "NCC");
    return false;
  }
  for (Record& episode : spell.episodes) {
    episode.trace.Enter("NCC");
    if (const std::string* weight = episode.FindSingle("PerWt")) {
      episode.Insert("PerWtBand", internal::WeightBand(*weight));
    }
    std::vector<std::string>& codes = episode.List("CCAC");

    if (CheckEpisode(episode)) {
      const bool unit_13 = critical_care::HasValue(episode, "NCC_CCUF", "13");
      const int32_t age = LeadingIntOrZero(episode.Single("Age_days"));
      const int32_t gestation = LeadingIntOrZero(episode.Single("GestLen"));
      const bool was_empty = codes.empty();
      const bool premature = IsPremature(
          age, gestation,
          critical_care::HasValue(episode, "PerWtBand", "0001_2000"));
      bool died = critical_care::SameText(episode, "CCDate", "DISDATE") &&
                  critical_care::HasValue(episode, "DISMETH", "4");
      // On a unit of function "13", activity "03" also marks a death.
      if (unit_13) {
        for (const std::string& code : codes) {
          if (code == "03") died = true;
        }
      }
      if (was_empty) codes.emplace_back("99");
      if (premature) codes.emplace_back("09");
      if (died) codes.emplace_back("01");
      DeriveHrg(episode);
    }

    if (episode.errors.empty()) {
      episode.success = true;
      TraceFinalHrg(episode, "NCC");
    } else {
      episode.Set("HRG", "UZ01Z");
      episode.Set("GroupingMethodFlag", "U");
      TraceFinalHrg(episode, "NCC", "the episode has errors");
    }
  }
  spell.success = spell.errors.empty();
  return true;
}

bool NCCProcessor::CheckEpisode(Record& episode) const {
  bool good = critical_care::CheckDate(episode, "CCDate");
  good = critical_care::CheckDate(episode, "DISDATE") && good;
  return validator_->Validate(episode) && good;
}

void NCCProcessor::DeriveHrg(Record& episode) const {
  if (!ready_) return;
  const std::vector<std::string>& codes = episode.List("CCAC");
  if (codes.empty()) return;
  // Every ranked code counts here, rank 0 included.
  const int position = critical_care::DominantPosition(codes, *hierarchy_, -1);
  TraceDominant(episode, "CCAC", codes, position < 0 ? kNoPosition : position,
                *hierarchy_);
  if (position < 0) return;
  const std::string& dominant = codes[position];
  episode.Set("DomCC", dominant);
  episode.Set("GateTriggerPos", ToDecimal(position));
  episode.Set("GateTriggerField", "CCAC");

  const HrgEntry* entry =
      rule_context_.MatchCode(episode, *by_code_, dominant, EvalMode::kDgvp);
  if (entry == nullptr) return;
  episode.Set("HRG", entry->hrg);

  const std::string_view error_code = entry->error_code;
  if (error_code.compare(0, 2, "UZ") != 0) return;
  if (error_code == "UZ11") {
    episode.AddError(GroupingError::WithPosition("CCAC", dominant, position,
                                                 kUz11NeonatalError));
  } else if (error_code == "UZ21") {
    episode.AddError(GroupingError::WithPosition(
        "CCAC", dominant, position, kUz21CcacInappropriateForNcc));
  } else {
    episode.Set("HRG_ERROR", error_code);
  }
}

}  // namespace zorvel
