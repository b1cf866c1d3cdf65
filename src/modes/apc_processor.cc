// The admitted patient care mode: episode checks, durations, the chapter
// chain and the finish of a one-episode spell.
#include "modes/apc_processor.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "grouping/patient_derivations.h"

namespace zorvel {
namespace {

constexpr char kErrorHrg[] = "UZ01Z";
constexpr char kErrorFlag[] = "U";

// One check of the episode validator: validation list, item, whether a blank
// value is allowed, the replacement of an invalid value, the flag item.
struct Registration {
  const char* list;
  const char* item;
  bool optional;
  const char* replacement;
  const char* flag_item;
};

// In the order the checks run (and report).
constexpr Registration kRegistrations[] = {
    {"Age", "Age", false, "0", ""},
    {"SEX", "SEX", false, "", ""},
    {"ADMISORC", "ADMISORC", false, "", ""},
    {"ADMIMETH", "ADMIMETH", false, "", ""},
    {"DISDEST", "DISDEST", false, "", ""},
    {"DISMETH", "DISMETH", false, "", ""},
    {"MAINSPEF", "MAINSPEF", false, "", ""},
    {"TRETSPEF", "TRETSPEF", false, "", ""},
    {"NEOCARE", "NEOCARE", true, "", ""},
    {"ICD", "Diagnosis", true, "", ""},
    {"OPCS", "Procedure", true, "", ""},
    {"EpiDur", "EpiDur", false, "0", "EpiDurV"},
    {"CLASSPAT", "CLASSPAT", false, "", ""},
    {"EpiDur", "CRITICALCAREDAYS", true, "0", ""},
    {"EpiDur", "REHABILITATIONDAYS", true, "0", ""},
    {"EpiDur", "SPCDAYS", true, "0", ""},
    {"EPIORDER", "Id", true, "", ""},
};

bool IsErrorHrg(Record& record) { return record.Single("HRG") == kErrorHrg; }



// The diagnosis and procedure errors of the chain's run on the spell; the
// episodes keep theirs.
bool IsChapterError(const GroupingError& error) {
  switch (error.message) {
    case kUz01InvalidPrimaryDiagnosis:
    case kUz02PoorlyCodedPrimaryDiagnosis:
    case kUz05InvalidProcedure:
    case kUz06PoorlyCodedProcedure:
    case kUz03DiagnosisConflictsWithAge:
    case kUz04DiagnosisConflictsWithSite:
      return true;
    default:
      return false;
  }
}

// The spell's "Procedure": each episode's codes after deletion, a run of
// blanks before a code kept as one blank and blanks at the end dropped,
// with "|" between episodes, each entry's episode in the procedure origins;
// and its "ProcedureOld": every episode's codes as received.
void AssembleSpellProcedures(Spell& spell) {
  std::vector<std::string>& procedures = spell.List("Procedure");
  std::vector<std::string>& received = spell.List("ProcedureOld");
  auto append = [&](std::string code, size_t episode) {
    procedures.push_back(std::move(code));
    spell.procedure_origins.push_back(episode);
  };
  for (size_t k = 0; k < spell.episodes.size(); ++k) {
    Record& episode = spell.episodes[k];
    bool pending_blank = false;
    for (const std::string& code : episode.List("Procedure")) {
      if (code.empty()) {
        pending_blank = true;
        continue;
      }
      if (pending_blank) append(std::string(), k);
      pending_blank = false;
      append(code, k);
    }
    if (k + 1 < spell.episodes.size()) append("|", k);
    const std::vector<std::string>& old = episode.List("ProcedureOld");
    received.insert(received.end(), old.begin(), old.end());
  }
}

// Runs BpLogic with "Procedure" holding the codes as received, so that its
// rules see the procedures before code deletion.
void DeriveBpOnReceivedCodes(const BpLogic& bp, Record& record) {
  std::vector<std::string> procedures = record.List("Procedure");
  record.List("Procedure") = record.List("ProcedureOld");
  bp.Derive(record);
  record.List("Procedure") = std::move(procedures);
}

}  // namespace

void DeriveDurations(Record& episode) {
  const std::string& received = episode.Single("EpiDur");
  episode.Set("EpiDurValue", received);
  int64_t net = int64_t{LeadingIntOrZero(received)} -
                LeadingIntOrZero(episode.Single("CRITICALCAREDAYS")) -
                LeadingIntOrZero(episode.Single("REHABILITATIONDAYS")) -
                LeadingIntOrZero(episode.Single("SPCDAYS"));
  if (net < 0) net = 0;
  const std::string net_text = ToDecimal(net);
  episode.Set("EpiDur", net_text);
  std::vector<std::string>& counts = episode.List("EpiDurArray");
  counts.push_back(net_text);
  counts.push_back(episode.Single("CRITICALCAREDAYS"));
  counts.push_back(episode.Single("REHABILITATIONDAYS"));
  const std::string& palliative = episode.Single("SPCDAYS");
  counts.push_back(palliative.empty() ? "0" : palliative);
  const std::string* classpat = episode.FindSingle("CLASSPAT");
  const bool day_case = net == 0 && classpat != nullptr && *classpat == "1";
  episode.Set("ReportingEpiDur", day_case ? "1" : net_text);
}

void DeriveDiagnosisCc(Record& record) {
  const std::vector<std::string>* found = record.FindList("Diagnosis");
  if (found == nullptr || found->empty()) return;
  const std::vector<std::string>& diagnoses = *found;
  std::vector<std::string>& cc = record.List("DiagnosisCC");
  const std::string& primary = diagnoses.front();
  for (size_t i = 0; i < diagnoses.size(); ++i) {
    const std::string& code = diagnoses[i];
    const bool same_category = i > 0 && code.size() >= 4 && primary.size() >= 3 &&
                               code.compare(0, 3, primary, 0, 3) == 0;
    if (same_category && (code[3] == '9' || code == primary)) continue;
    cc.push_back(code);
  }
}

bool APCProcessor::SetUp(const ReferenceData& data) {
  // Every component is bound afresh, so that none keeps pointers into tables
  // an earlier load replaced, even when this set-up stops half way.
  ready_ = false;
  rule_context_ = RuleContext();
  deletion_ = CodeDeleteLogic();
  combination_ = CombinationLogic();
  unbundled_ = UnbundledLogic();
  palliative_care_ = PalliativeCareLogic();
  burn_ = BurnLogic();
  trauma_ = TraumaLogic();
  procedure_hrg_ = ProcHrgLogic();
  exception_ = ExceptionLogic();
  diagnosis_hrg_ = DiagHrgLogic();
  episode_pbc_ = EpisodePbcLogic();
  spell_grouping_ = SpellGroupingLogic();
  data_ = nullptr;
  bp_ = BpLogic();
  spell_pbc_ = SpellPbcLogic();
  if (!SetUpComponents(data)) return false;
  SetFieldLists({},
                {"Age", "SEX", "CLASSPAT", "ADMISORC", "ADMIMETH", "DISDEST",
                 "DISMETH", "EpiDur", "MAINSPEF", "NEOCARE", "TRETSPEF",
                 "Diagnosis", "Procedure", "CRITICALCAREDAYS",
                 "REHABILITATIONDAYS", "SPCDAYS"},
                {"HRG", "GroupingMethodFlag", "DGVP", "PDiag", "SDiag",
                 "EpiCount", "EpiDur", "CRITICALCAREDAYS", "PBC",
                 "UnbundledHRG", "SpellSSC", "BP"},
                {"HRG", "GroupingMethodFlag", "DGVP", "PBC", "EpiDur",
                 "SpellReportFlag", "UnbundledHRG", "SSC"});
  ready_ = true;
  return true;
}

bool APCProcessor::SetUpComponents(const ReferenceData& data) {
  validator_.emplace(data.validation_lists());
  for (const Registration& r : kRegistrations) {
    if (!validator_->AddCheck(r.list, r.optional, r.item, r.replacement, "",
                              r.flag_item)) {
      return false;
    }
  }
  const RuleContext* context = &rule_context_;
  const bool chain_ready =
      rule_context_.SetUp(data) && deletion_.SetUp(data) &&
      combination_.SetUp(&deletion_, context, data) &&
      unbundled_.SetUp(&deletion_, context, data) &&
      palliative_care_.SetUp(&deletion_, context, data) &&
      burn_.SetUp(context, data) && trauma_.SetUp(context, data) &&
      procedure_hrg_.SetUp(context, data) && exception_.SetUp(context, data) &&
      diagnosis_hrg_.SetUp(context, data) && episode_pbc_.SetUp(context, data) &&
      spell_grouping_.SetUp(data);
  if (!chain_ready) return false;
  data_ = &data;
  return bp_.SetUp(context, data) && spell_pbc_.SetUp(context, data);
}

bool APCProcessor::Group(Spell& spell) {
  if (!ready_) {
    AddNotInitialisedError(spell, "APC");
    return false;
  }
  bool all_episodes_valid = true;
  for (Record& episode : spell.episodes) {
    if (!GroupEpisode(episode)) all_episodes_valid = false;
  }
  if (spell.episodes.size() == 1) {
    FinishSingleEpisode(spell);
  } else {
    GroupSpell(spell, all_episodes_valid);
  }
  return true;
}

bool APCProcessor::PreCheck(Record& episode) const {
  if (!validator_) return false;
  bool valid = true;
  if (episode.IsBlank("Id")) {
    episode.AddError(GroupingError::WithValue("Id", "", kIsBlank));
    valid = false;
  }
  const std::vector<std::string>* diagnoses = episode.FindList("Diagnosis");
  if (diagnoses != nullptr && !diagnoses->empty() && !diagnoses->front().empty()) {
    UpperCaseList(episode, "Diagnosis");
  } else {
    episode.List("Diagnosis");
    episode.AddError(GroupingError::WithPosition("Diagnosis", "", 0, kIsBlank));
    valid = false;
  }
  UpperCaseList(episode, "Procedure");
  return validator_->Validate(episode) && valid;
}

bool APCProcessor::GroupEpisode(Record& episode) const {
  episode.trace.Enter("APC");
  const bool input_valid = PreCheck(episode);
  episode.Set("SpellReportFlag", "0");
  if (episode.FindList("ProcedureOld") == nullptr) {
    episode.InsertList("ProcedureOld", episode.List("Procedure"));
  }
  DeriveDurations(episode);
  episode.trace.Set("EpiDur", episode.FindSingle("EpiDur"));

  DeriveDiagnosisCc(episode);
  combination_.Derive(episode);
  const bool unbundled_ok = unbundled_.Derive(episode);
  palliative_care_.Derive(episode);
  trauma_.Derive(episode);
  burn_.Derive(episode);
  procedure_hrg_.Derive(episode);
  exception_.Derive(episode);
  diagnosis_hrg_.Derive(episode);
  SelectFinalHrg(episode);
  episode_pbc_.Derive(episode);

  episode.success = input_valid && unbundled_ok && episode.errors.empty();
  if (!episode.success) {
    episode.Set("HRG", kErrorHrg);
    episode.Set("GroupingMethodFlag", kErrorFlag);
    TraceFinalHrg(episode, "APC", "the episode has errors");
  }
  return episode.success;
}

void APCProcessor::FinishSingleEpisode(Spell& spell) const {
  Record& episode = spell.episodes.front();
  spell.output = &episode;
  episode.Set("SpellReportFlag", "1");
  episode.Insert("EpiCount", "1");
  if (episode.Single("CRITICALCAREDAYS").empty()) episode.Set("CRITICALCAREDAYS", "0");
  const std::vector<std::string>& diagnoses = episode.List("Diagnosis");
  if (!diagnoses.empty()) episode.Insert("PDiag", diagnoses[0]);
  if (diagnoses.size() >= 2) episode.Insert("SDiag", diagnoses[1]);
  if (!IsErrorHrg(episode)) {
    episode.List("SpellSSC") = episode.List("SSC");
    DeriveBpOnReceivedCodes(bp_, episode);
  }
  episode.Set("PSSCLASSPAT", episode.Single("CLASSPAT"));
  episode.Set("PSSAge", episode.Single("Age"));
  episode.Set("SpellReportingEpiDur", episode.Single("ReportingEpiDur"));
  episode.Set("SpellEpiDurValue", episode.Single("EpiDurValue"));
  DerivePatientItems(episode);
  spell.success = !IsErrorHrg(episode);
}

void APCProcessor::GroupSpell(Spell& spell, bool all_episodes_valid) const {
  spell.trace.Enter("APC");
  spell.Insert("EpiCount", ToDecimal(static_cast<int64_t>(spell.episodes.size())));
  const bool validated = spell_validator_.Validate(spell);
  const bool spell_ok = all_episodes_valid && validated;
  AssembleSpellProcedures(spell);
  combination_.Derive(spell);
  spell_grouping_.Derive(spell);
  DeriveDiagnosisCc(spell);
  if (!spell.episodes.empty() && spell.episodes.front().FindSingle("TraumaHRG") != nullptr) {
    trauma_.Derive(spell);
  }
  burn_.Derive(spell);
  procedure_hrg_.Derive(spell);
  exception_.Derive(spell);
  diagnosis_hrg_.Derive(spell);
  SelectFinalHrg(spell);
  spell_pbc_.Derive(spell);
  std::vector<GroupingError>& errors = spell.errors;
  errors.erase(std::remove_if(errors.begin(), errors.end(), IsChapterError), errors.end());
  DerivePatientItems(spell);
  if (!spell_ok) {
    spell.Set("HRG", kErrorHrg);
    spell.Set("GroupingMethodFlag", kErrorFlag);
    TraceFinalHrg(spell, "APC", all_episodes_valid ? "the spell has errors"
                                                   : "an episode has errors");
  }
  if (!IsErrorHrg(spell)) {
    spell.List("SpellSSC") = spell.List("SSC");
    DeriveBpOnReceivedCodes(bp_, spell);
  }
  spell.success = !IsErrorHrg(spell);
}

}  // namespace zorvel
