// Specialist palliative care unbundled HRGs of an admitted episode or an
// outpatient attendance.
#include "grouping/palliative_care_logic.h"

#include <string>

namespace zorvel {
namespace {

// An entry with this HRG adds nothing.
constexpr const char kNoHrg[] = "UZ99";

// "SPCDAYS" as written, unless absent, empty or "0": then "1".
std::string DayCount(const Record& record) {
  const std::string* days = record.FindSingle("SPCDAYS");
  if (days == nullptr || days->empty() || *days == "0") return "1";
  return *days;
}

}  // namespace

// The derivation deletes no codes, so it keeps no reference to the deletion
// logic.
bool PalliativeCareLogic::SetUp(const CodeDeleteLogic* /*deletion*/,
                                const RuleContext* context,
                                const ReferenceData& data, CareSetting setting) {
  // Bound all together: context_ says whether the logic is ready.
  context_ = nullptr;
  const bool outpatient = setting == CareSetting::kOutpatient;
  specialties_ = data.FindCodeMap(outpatient ? "USPC2" : "USPC1", "TRETSPEF");
  spc_ = outpatient ? nullptr : data.FindCodeMap("USPC3", "SPC");
  if (context == nullptr || specialties_ == nullptr || (!outpatient && spc_ == nullptr)) {
    specialties_ = nullptr;
    spc_ = nullptr;
    return false;
  }
  context_ = context;
  return true;
}

void PalliativeCareLogic::Derive(Record& record) const {
  if (context_ == nullptr) return;
  record.trace.Enter("PalliativeCare");
  // The specialty's own entry decides, "UZ99" included; only a specialty
  // that gives no entry falls back to the general "SPC3" entry.
  const HrgEntry* entry = context_->MatchCode(
      record, *specialties_, record.Single("TRETSPEF"), EvalMode::kPlain);
  if (entry == nullptr && spc_ != nullptr) {
    entry = context_->MatchCode(record, *spc_, "SPC3", EvalMode::kPlain);
  }
  if (entry == nullptr || entry->hrg == kNoHrg) return;
  record.List("UnbundledHRG").push_back(std::string(entry->hrg) + "*" + DayCount(record));
  record.trace.Append("UnbundledHRG", record.List("UnbundledHRG").back());
}

}  // namespace zorvel
