// Procedure-driven unbundled HRGs of an admitted episode or an outpatient
// attendance, and the deletion of the codes that produced them.
#include "grouping/unbundled_logic.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "common/numbers.h"

namespace zorvel {
namespace {

// The first group is tried before the treatment specialty, the second after.
constexpr const char* kFirstGroup[] = {"Uassess", "UChem1", "UChem2", "UDrugs",
                                       "URad"};
constexpr const char* kSecondGroup[] = {"URadiot1", "URadiot2", "Urehab",
                                        "URenal"};
// An outpatient attendance tries all nine tables as one group.
constexpr const char* kOutpatientGroup[] = {"Uassess", "UChem1", "UChem2",
                                            "UDrugs", "URad", "URadiot1",
                                            "URadiot2", "Urehab", "URenal"};
constexpr std::string_view kRehabilitationTable = "Urehab";
constexpr std::string_view kErrorHrg = "UZ01Z";

// One episode's pass: the record, its procedure list and the result so far.
struct EpisodePass {
  Record& record;
  std::vector<std::string>& procedures;
  const RuleContext& context;
  const CodeDeleteLogic& deletion;
  bool ok = true;

  // The trigger and entry that `code` opens in `codes`; empty when the table
  // lacks the code or no rule held. A procedure is tried in many tables, so
  // only the tables that hold it are traced.
  TriggerMatch Match(const CodeMap& codes, const std::string& code) {
    TriggerMatch match;
    if (codes.Contains(code)) {
      context.MatchCode(record, codes, code, EvalMode::kPlain, &match);
    }
    return match;
  }

  void Append(std::string hrg) {
    record.trace.Append("UnbundledHRG", hrg);
    record.List("UnbundledHRG").push_back(std::move(hrg));
  }

  // A code with a "+" is kept in "ProcedureOld" as well; then the code, its
  // qualifier codes and what the rules name are deleted.
  void AfterMatch(size_t i, const TriggerMatch& match) {
    const std::string& code = procedures[i];
    if (code.find('+') != std::string::npos) {
      record.List("ProcedureOld").push_back(code);
    }
    deletion.DeleteTriggerCodes(static_cast<int32_t>(i), match, procedures,
                                &record.trace);
  }

  // First group (and the outpatient group): an error HRG fails the episode
  // and reports the code when the entry calls it invalid or poorly coded;
  // a rehabilitation HRG carries its day count.
  bool TryFirstGroup(size_t i, const CodeMap& codes, bool rehabilitation) {
    const TriggerMatch match = Match(codes, procedures[i]);
    if (match.entry == nullptr) return false;
    const HrgEntry& entry = *match.entry;
    if (entry.hrg == kErrorHrg) {
      ok = false;
      AddProcedureError(i, std::string(entry.error_code));
      Append(std::string(kErrorHrg));
    } else if (rehabilitation) {
      Append(std::string(entry.hrg) + "*" + RehabilitationDays());
    } else {
      Append(std::string(entry.hrg));
    }
    AfterMatch(i, match);
    return true;
  }

  void AddProcedureError(size_t i, const std::string& error_code) {
    int32_t message = kNoMessage;
    if (error_code == "UZ05") message = kUz05InvalidProcedure;
    if (error_code == "UZ06") message = kUz06PoorlyCodedProcedure;
    if (message == kNoMessage) return;
    record.AddError(GroupingError::WithPosition(
        "Procedure", procedures[i], static_cast<int32_t>(i), message));
  }

  // Second group: no errors; rehabilitation carries its day count.
  bool TrySecondGroup(size_t i, const CodeMap& codes, bool rehabilitation) {
    const TriggerMatch match = Match(codes, procedures[i]);
    if (match.entry == nullptr) return false;
    const std::string_view hrg = match.entry->hrg;
    if (hrg == kErrorHrg) {
      ok = false;
      Append(std::string(hrg));
    } else if (rehabilitation) {
      Append(std::string(hrg) + "*" + RehabilitationDays());
    } else {
      Append(std::string(hrg));
    }
    AfterMatch(i, match);
    return true;
  }

  // "REHABILITATIONDAYS" as written, unless absent, empty or "0": then "1".
  std::string RehabilitationDays() const {
    const std::string* days = record.FindSingle("REHABILITATIONDAYS");
    if (days == nullptr || days->empty() || *days == "0") return "1";
    return *days;
  }

  // The treatment specialty's own unbundled HRG.
  void CheckSpecialty(const CodeMap& specialties) {
    const TriggerMatch match = Match(specialties, record.Single("TRETSPEF"));
    if (match.entry == nullptr) return;
    Append(std::string(match.entry->hrg));
    if (match.entry->hrg == kErrorHrg) ok = false;
  }
};

}  // namespace

bool UnbundledLogic::SetUp(const CodeDeleteLogic* deletion,
                           const RuleContext* context,
                           const ReferenceData& data, CareSetting setting) {
  ready_ = false;
  deletion_ = deletion;
  context_ = context;
  specialties_ = nullptr;
  first_group_.clear();
  second_group_.clear();
  const auto bind = [&data](const auto& names, std::vector<Table>& group) {
    for (const char* name : names) {
      const CodeMap* codes = data.FindCodeMap(name, "OPCS");
      if (codes == nullptr) return false;
      group.push_back(Table{name, codes});
    }
    return true;
  };
  bool bound = false;
  if (setting == CareSetting::kOutpatient) {
    bound = bind(kOutpatientGroup, first_group_);
  } else {
    specialties_ = data.FindCodeMap("UNPCC", "TRETSPEF");
    bound = bind(kFirstGroup, first_group_) && specialties_ != nullptr &&
            bind(kSecondGroup, second_group_);
  }
  ready_ = bound && deletion != nullptr && context != nullptr;
  return ready_;
}

bool UnbundledLogic::Derive(Record& record) const {
  if (!ready_) return false;
  record.trace.Enter("Unbundled");
  record.Set("GateTriggerField", "Procedure");
  // Rules create no lists, and lists added later to the record's ordered
  // map leave this reference valid.
  EpisodePass pass{record, record.List("Procedure"), *context_, *deletion_};
  std::vector<std::string>& procedures = pass.procedures;
  bool specialty_checked = false;
  // Gate positions are 32-bit: codes beyond that range are not walked.
  const size_t size = std::min<size_t>(procedures.size(), INT32_MAX);
  for (size_t i = 0; i < size; ++i) {
    if (procedures[i].empty()) continue;
    record.Set("GateTriggerPos", ToDecimal(static_cast<int64_t>(i)));
    for (const Table& table : first_group_) {
      if (pass.TryFirstGroup(i, *table.codes, table.name == kRehabilitationTable)) break;
    }
    if (specialties_ == nullptr) continue;  // an outpatient attendance
    if (!specialty_checked) pass.CheckSpecialty(*specialties_);
    specialty_checked = true;
    // A code matched in the first group has been blanked; a blank is not
    // looked up.
    if (procedures[i].empty()) continue;
    for (const Table& table : second_group_) {
      const bool rehabilitation = table.name == kRehabilitationTable;
      if (pass.TrySecondGroup(i, *table.codes, rehabilitation)) break;
    }
  }
  // An admitted episode without codes still has its specialty checked.
  if (specialties_ != nullptr && !specialty_checked) pass.CheckSpecialty(*specialties_);
  return pass.ok;
}

}  // namespace zorvel
