// The HRG and alternative HRG of an outpatient attendance.
#include "grouping/nac_hrg_logic.h"
#include "grouping/chapter_tables.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvel {
namespace {

constexpr char kErrorHrg[] = "UZ01Z";

void SetHrg(Record& record, std::string_view hrg, const char* flag,
            const char* reason = "") {
  record.Set("HRG", hrg);
  record.Set("GroupingMethodFlag", flag);
  if (!record.trace.on()) return;
  record.trace.Add("Set").Item("HRG").Result(hrg).Reason(reason);
  record.trace.Set("GroupingMethodFlag", flag);
}

bool HasNonFaceToFaceCode(const std::vector<std::string>& procedures) {
  for (const std::string& code : procedures) {
    if (code == "X622" || code == "X623") return true;
  }
  return false;
}

// "WF01x" without a non-face-to-face code, "WF02x" with one; x by the
// first-attendance code.
std::string FallbackHrg(const std::string& first_attendance, bool non_face_to_face) {
  char grade = 'A';
  if (first_attendance == "3") grade = 'D';
  if (first_attendance == "4") grade = 'C';
  if (first_attendance == "1") grade = 'B';
  return std::string(non_face_to_face ? "WF02" : "WF01") + grade;
}

}  // namespace

bool NacHrgLogic::SetUp(const RuleContext* context, const ReferenceData& data) {
  context_ = context;
  procedures_ = defaults_ = nullptr;
  hierarchy_ = data.FindList("ProcHier");
  if (hierarchy_ != nullptr) procedures_ = data.FindCodeMap("Core1", "OPCS");
  if (procedures_ != nullptr) defaults_ = data.FindCodeMap("Core5", "Default");
  return context_ != nullptr && defaults_ != nullptr;
}

bool NacHrgLogic::Derive(Record& record) const {
  if (context_ == nullptr || defaults_ == nullptr) return false;
  record.trace.Enter("NacHrg");
  if (!record.errors.empty()) {
    SetHrg(record, kErrorHrg, "U", "the attendance has errors");
    return true;
  }
  const std::string& procedure_hrg = record.Single("ProcHRG");
  if (!procedure_hrg.empty()) {
    SetHrg(record, procedure_hrg, "P", "the procedure HRG");
    return true;
  }
  if (DeriveFromOutpatientProcedure(record)) return true;
  // A default chapter without a list for code "0" matches nothing.
  const HrgEntry* fallback =
      context_->MatchCode(record, *defaults_, kDefaultCode, EvalMode::kPlain);
  if (fallback != nullptr) {
    SetHrg(record, fallback->hrg, "G", "the default list's HRG");
    return true;
  }
  const bool non_face_to_face = HasNonFaceToFaceCode(record.List("Procedure"));
  SetHrg(record, FallbackHrg(record.Single("FIRSTATT"), non_face_to_face), "O",
         non_face_to_face ? "no table gave an HRG: by FIRSTATT, non-face-to-face"
                          : "no table gave an HRG: by FIRSTATT");
  return true;
}

// The highest-ranked "X62" outpatient procedure (the earliest on ties), when
// its rank is 0 or more and its trigger list gives an entry.
bool NacHrgLogic::DeriveFromOutpatientProcedure(Record& record) const {
  const std::vector<std::string>& procedures = record.List("Procedure");
  int32_t best = -1;
  const std::string* dominant = nullptr;
  for (const std::string& code : procedures) {
    if (code.compare(0, 3, "X62") != 0) continue;
    const int32_t* value = hierarchy_->Find(code);
    if (value == nullptr || *value <= best) continue;
    best = *value;
    dominant = &code;
  }
  if (record.trace.on()) {
    TraceStep& step = record.trace.Add("Dominant").Item("Procedure").List(
        hierarchy_->name());
    if (dominant == nullptr) {
      step.Result("no ranked X62 code");
    } else {
      step.Index(dominant - procedures.data()).Code(*dominant).Result(
          "rank " + std::to_string(best));
    }
  }
  if (dominant == nullptr) return false;
  const HrgEntry* entry = context_->MatchCode(record, *procedures_, *dominant, EvalMode::kPlain);
  if (entry == nullptr) return false;
  if (entry->error_code.compare(0, 2, "UZ") == 0) record.Set("HRG_ERROR", entry->error_code);
  SetHrg(record, entry->hrg, "P");
  return true;
}

bool AltHrgLogic::SetUp(const RuleContext* context, const ReferenceData& data) {
  context_ = context;
  specialties_ = data.FindCodeMap("Core6", "MAINSPEF");
  return context_ != nullptr && specialties_ != nullptr;
}

bool AltHrgLogic::Derive(Record& record) const {
  if (context_ == nullptr || specialties_ == nullptr) return false;
  record.trace.Enter("AltHrg");
  record.List("Procedure") = record.List("ProcedureOld");
  if (record.errors.empty()) {
    const HrgEntry* entry =
        context_->MatchCode(record, *specialties_, record.Single("MAINSPEF"), EvalMode::kPlain);
    if (entry != nullptr && entry->hrg != kErrorHrg) {
      record.Set("ALT_HRG", entry->hrg);
      record.trace.Set("ALT_HRG", entry->hrg);
      return true;
    }
  }
  record.Set("ALT_HRG", "");
  return false;
}

}  // namespace zorvel
