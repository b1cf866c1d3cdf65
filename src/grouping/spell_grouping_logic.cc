// The dominant episode and the spell items of a spell of several episodes.
#include "grouping/spell_grouping_logic.h"

#include <cstdint>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "grouping/chapter_tables.h"

namespace zorvel {
namespace {

// A rank that diagnoses may no longer better.
constexpr int32_t kFixedRank = 9999;

// Copies `from` of `source` into `to` of `target`; an item the episode lacks
// (such as a "NEOCARE" it was sent without) is left out rather than copied
// as an empty text.
void CopyItem(const Record& source, const char* from, Record& target, const char* to) {
  if (const std::string* value = source.FindSingle(from)) target.Set(to, *value);
}

void CopyItems(const Record& source, Record& target, std::initializer_list<const char*> items) {
  for (const char* item : items) CopyItem(source, item, target, item);
}

bool HoldsAnyOf(const std::vector<std::string>& codes, const CodeList& list) {
  for (const std::string& code : codes) {
    if (list.Find(code) != nullptr) return true;
  }
  return false;
}

// The "Episode" step naming the episode that reports the spell.
void TraceDominantEpisode(Spell& spell, const Record& dominant,
                          const char* reason) {
  const std::string* id = dominant.FindSingle("Id");
  spell.trace.Add("Episode")
      .Item("Episodes")
      .Index(&dominant - spell.episodes.data())
      .Code(id != nullptr ? std::string_view(*id) : "")
      .Result("dominant")
      .Reason(reason != nullptr ? reason : "");
}

}  // namespace

struct SpellGroupingLogic::Dominance {
  Record* episode = nullptr;
  int32_t rank = -1;
  bool pnco = false;  // some episode has no "PNCO" diagnosis
  int64_t net_days = 0, reported_days = 0, critical_care_days = 0;
};

bool SpellGroupingLogic::SetUp(const ReferenceData& data) {
  procedure_hierarchy_ = data.FindList("ProcHier");
  diagnosis_hierarchy_ = data.FindList("DiagHier");
  pnco_ = data.FindList("PNCO");
  return procedure_hierarchy_ != nullptr && diagnosis_hierarchy_ != nullptr &&
         pnco_ != nullptr;
}

void SpellGroupingLogic::Derive(Spell& spell) const {
  if (procedure_hierarchy_ == nullptr || diagnosis_hierarchy_ == nullptr || pnco_ == nullptr) {
    return;
  }
  if (spell.episodes.empty()) {
    spell.AddError(GroupingError::Free("SPELL", "Zero episode spell"));
    return;
  }
  spell.trace.Enter("SpellGrouping");
  Dominance dominance;
  ChooseByProcedure(spell, dominance);
  const char* reason = dominance.episode != nullptr
                           ? "its procedure ranks above 2 in ProcHier"
                           : nullptr;
  const Record& first = spell.episodes.front();
  CopyItems(first, spell, {"ADMIMETH", "ADMISORC"});
  CopyItem(first, "CLASSPAT", spell, "PSSCLASSPAT");
  CopyItem(first, "Age", spell, "PSSAge");
  if (!first.IsBlank("TraumaHRG")) {
    dominance.episode = &spell.episodes.front();
    dominance.rank = kFixedRank;
    reason = "the first episode has a trauma HRG";
  }
  Record* const fixed = dominance.episode;
  GatherEpisodes(spell, dominance);
  if (reason == nullptr && dominance.episode != fixed) {
    reason = "its primary diagnosis ranks highest in DiagHier";
  }
  if (dominance.rank == -1) {
    dominance.episode = &spell.episodes.front();
    reason = "no procedure or diagnosis ranks: the first episode";
  }
  if (spell.trace.on()) TraceDominantEpisode(spell, *dominance.episode, reason);

  Record& dominant = *dominance.episode;
  dominant.Set("SpellReportFlag", "1");
  CopyItems(dominant, spell, {"Age", "SEX", "CLASSPAT", "MAINSPEF", "TRETSPEF", "NEOCARE"});
  const std::vector<std::string>& diagnoses = dominant.List("Diagnosis");
  if (!diagnoses.empty()) spell.Insert("PDiag", diagnoses[0]);
  if (diagnoses.size() >= 2) spell.Insert("SDiag", diagnoses[1]);
  CopyItems(spell.episodes.back(), spell, {"DISMETH", "DISDEST"});
  BlankDiagnoses(spell, dominance.pnco);

  const std::string net = ToDecimal(dominance.net_days);
  spell.Set("EpiDur", net);
  spell.Set("SpellEpiDurValue", ToDecimal(dominance.reported_days));
  spell.Set("CRITICALCAREDAYS", ToDecimal(dominance.critical_care_days));
  const std::string* classpat = spell.FindSingle("CLASSPAT");
  const bool day_case = dominance.net_days == 0 && classpat != nullptr && *classpat == "1";
  spell.Set("SpellReportingEpiDur", day_case ? "1" : net);
}

// The episode of the highest-ranked procedure decides, when its rank is
// above 2, and no diagnosis may change that.
void SpellGroupingLogic::ChooseByProcedure(Spell& spell, Dominance& dominance) const {
  const std::vector<std::string>& procedures = spell.List("Procedure");
  const int32_t position = DominantPosition(procedures, *procedure_hierarchy_);
  TraceDominant(spell, "Procedure", procedures, position, *procedure_hierarchy_);
  if (position == kNoPosition) return;
  const size_t at = static_cast<size_t>(position);
  if (*procedure_hierarchy_->Find(procedures[at]) <= 2 || at >= spell.procedure_origins.size()) {
    return;
  }
  dominance.episode = &spell.episodes[spell.procedure_origins[at]];
  dominance.rank = kFixedRank;
}

// Gathers unbundled HRGs, diagnoses (the dominant episode's first, the
// diagnosis hierarchy choosing while no procedure or trauma fixed it), the
// "PNCO" flag and the duration sums.
void SpellGroupingLogic::GatherEpisodes(Spell& spell, Dominance& dominance) const {
  std::vector<std::string>& spell_diagnoses = spell.List("Diagnosis");
  for (Record& episode : spell.episodes) {
    if (const std::vector<std::string>* unbundled = episode.FindList("UnbundledHRG")) {
      std::vector<std::string>& into = spell.List("UnbundledHRG");
      into.insert(into.end(), unbundled->begin(), unbundled->end());
    }
    const std::vector<std::string>& diagnoses = episode.List("Diagnosis");
    if (diagnoses.empty()) {
      if (spell_diagnoses.empty()) spell_diagnoses.emplace_back();
    } else {
      const int32_t* value =
          dominance.rank < kFixedRank ? diagnosis_hierarchy_->Find(diagnoses[0]) : nullptr;
      if (value != nullptr && *value > dominance.rank) {
        dominance.episode = &episode;
        dominance.rank = *value;
      }
      const auto at = dominance.episode == &episode ? spell_diagnoses.begin() : spell_diagnoses.end();
      spell_diagnoses.insert(at, diagnoses.begin(), diagnoses.end());
    }
    if (!dominance.pnco && !HoldsAnyOf(diagnoses, *pnco_)) dominance.pnco = true;
    dominance.net_days += LeadingIntOrZero(episode.Single("EpiDur"));
    dominance.reported_days += LeadingIntOrZero(episode.Single("EpiDurValue"));
    dominance.critical_care_days += LeadingIntOrZero(episode.Single("CRITICALCAREDAYS"));
  }
}

// Repeats of the first diagnosis are blanked, and so, once some episode had
// no "PNCO" diagnosis, is every "PNCO" diagnosis, the first included.
// Blanked entries keep their places.
void SpellGroupingLogic::BlankDiagnoses(Record& spell, bool pnco) const {
  std::vector<std::string>& diagnoses = spell.List("Diagnosis");
  if (diagnoses.empty()) return;
  const std::string first = diagnoses.front();
  for (size_t i = 0; i < diagnoses.size(); ++i) {
    if (i > 0 && diagnoses[i] == first) {
      diagnoses[i].clear();
    } else if (pnco && pnco_->Find(diagnoses[i]) != nullptr) {
      diagnoses[i].clear();
    }
  }
}

}  // namespace zorvel
