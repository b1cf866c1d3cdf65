// The emergency medicine mode: default codes, validation, the pair search
// over the combination table and the patient group override.
#include "modes/em_processor.h"

#include <algorithm>
#include <string_view>

namespace zorvel {
namespace {

// Codes that stand in for a missing side of the pairs: an attendance with
// treatments only had no investigation of note ("24"), one with
// investigations only had no treatment of note ("99").
constexpr const char* kNoInvestigation = "24";
constexpr const char* kNoTreatment = "99";

bool IsEmptyList(const std::vector<std::string>* list) {
  return list == nullptr || list->empty();
}

// The look-up key of a pair, "I <investigation>+T <treatment>". Its first
// part is made once for all the treatments of an investigation. Codes are a
// few characters, so the key is made in place on the stack; a key too long
// for that is made in `spill`, scratch space kept by the caller.
class PairKey {
 public:
  PairKey(std::string_view investigation, std::string& spill)
      : investigation_(investigation), spill_(spill) {
    prefix_ = kPrefix.size() + investigation.size() + kJoin.size();
    if (prefix_ > sizeof text_) return;
    char* at = std::copy(kPrefix.begin(), kPrefix.end(), text_);
    at = std::copy(investigation.begin(), investigation.end(), at);
    std::copy(kJoin.begin(), kJoin.end(), at);
  }

  // The key of the pair with `treatment`, valid until the next call.
  std::string_view With(std::string_view treatment) {
    const size_t size = prefix_ + treatment.size();
    if (size <= sizeof text_) {
      std::copy(treatment.begin(), treatment.end(), text_ + prefix_);
      return std::string_view(text_, size);
    }
    spill_.assign(kPrefix).append(investigation_).append(kJoin).append(treatment);
    return spill_;
  }

 private:
  static constexpr std::string_view kPrefix = "I ";
  static constexpr std::string_view kJoin = "+T ";

  char text_[48];
  size_t prefix_;
  std::string_view investigation_;
  std::string& spill_;
};

}  // namespace

bool EMProcessor::SetUp(const ReferenceData& data) {
  // Pointers and checks from an earlier load are stale once the tables
  // reload; until this set-up completes, grouping refuses to run.
  combinations_ = nullptr;
  patient_groups_ = nullptr;
  validator_.reset();

  const CodeMap* combinations = data.FindCodeMap("EM", "Combination");
  if (combinations == nullptr) return false;
  rule_context_ = RuleContext();
  if (!rule_context_.SetUp(data)) return false;
  const CodeMap* patient_groups = data.FindCodeMap("EM", "AEPatGroup");
  if (patient_groups == nullptr) return false;

  combinations_ = combinations;
  patient_groups_ = patient_groups;
  SetFieldLists({}, {"Age", "AEPatGroup", "Invest", "Treat"}, {}, {"HRG"});

  validator_.emplace(data.validation_lists());
  validator_->AddCheck("Invest", true, "Invest");
  validator_->AddCheck("Treat", true, "Treat");
  validator_->AddCheck("Age", false, "Age");
  validator_->AddCheck("AEPatGroup", true, "AEPatGroup");
  return true;
}

bool EMProcessor::Group(Spell& spell) {
  if (combinations_ == nullptr || !validator_) {
    AddNotInitialisedError(spell, "EM");
    return false;
  }
  bool all_grouped = true;
  std::string key;
  for (Record& episode : spell.episodes) {
    episode.trace.Enter("EM");
    if (PrepareEpisode(episode)) {
      SearchCombinations(episode, key);
      OverridePatientGroup(episode);
    }
    const std::string* hrg = episode.FindSingle("HRG");
    if (hrg == nullptr || hrg->empty() || !episode.errors.empty()) {
      episode.Set("HRG", "UZ01Z");
      all_grouped = false;
      TraceFinalHrg(episode, "EM", episode.errors.empty()
                                       ? "no combination gave an HRG"
                                       : "the episode has errors");
    } else {
      episode.success = true;
      TraceFinalHrg(episode, "EM");
    }
  }
  spell.success = all_grouped;
  return true;
}

bool EMProcessor::PrepareEpisode(Record& episode) const {
  const bool no_investigations = IsEmptyList(episode.FindList("Invest"));
  const bool no_treatments = IsEmptyList(episode.FindList("Treat"));
  if (no_investigations && no_treatments) {
    episode.AddError(GroupingError::WithPosition("Invest", "", 0, kIsBlank));
    episode.AddError(GroupingError::WithPosition("Treat", "", 0, kIsBlank));
  } else if (no_investigations) {
    episode.List("Invest").push_back(kNoInvestigation);
    episode.trace.Append("Invest", kNoInvestigation);
  } else if (no_treatments) {
    episode.List("Treat").push_back(kNoTreatment);
    episode.trace.Append("Treat", kNoTreatment);
  }
  return validator_->Validate(episode);
}

void EMProcessor::SearchCombinations(Record& episode, std::string& key) const {
  // A value that came with the request counts as the HRG to beat.
  std::string& hrg = episode.Single("HRG");
  const std::vector<std::string>* investigations = episode.FindList("Invest");
  const std::vector<std::string>* treatments = episode.FindList("Treat");
  if (investigations == nullptr || treatments == nullptr) return;

  for (const std::string& investigation : *investigations) {
    PairKey pair(investigation, key);
    for (const std::string& treatment : *treatments) {
      const std::string_view code = pair.With(treatment);
      const HrgEntry* entry = rule_context_.MatchCode(
          episode, *combinations_, code, EvalMode::kPlain);
      if (entry == nullptr) continue;
      const std::string_view candidate = entry->hrg;
      // Of equal HRGs the first pair keeps "PINV" and "PTRE".
      if (!hrg.empty() && !(candidate < hrg)) {
        if (episode.trace.on()) {
          episode.trace.Add("Candidate").Code(code).Hrg(candidate)
              .Result("lost").Reason("not below " + hrg);
        }
        continue;
      }
      if (episode.trace.on()) {
        episode.trace.Add("Candidate").Code(code).Hrg(candidate)
            .Result("best so far")
            .Reason(hrg.empty() ? "the first HRG" : "below " + hrg);
      }
      hrg = candidate;
      episode.Set("PINV", investigation);
      episode.Set("PTRE", treatment);
    }
  }
}

void EMProcessor::OverridePatientGroup(Record& episode) const {
  if (patient_groups_ == nullptr || !episode.errors.empty() ||
      episode.IsBlank("HRG")) {
    return;
  }
  const std::string& group = episode.Single("AEPatGroup");
  const HrgEntry* entry = rule_context_.MatchCode(episode, *patient_groups_,
                                                  group, EvalMode::kPlain);
  // An error HRG from the patient group never replaces a derived one.
  if (entry == nullptr || entry->hrg == "UZ01Z") return;
  episode.Set("HRG", entry->hrg);
  episode.trace.Set("HRG", entry->hrg);
}

}  // namespace zorvel
