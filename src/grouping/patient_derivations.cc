// The final choice of HRG among the chapter candidates, and the age and
// admission types of the record that reports a spell.
#include "grouping/patient_derivations.h"

#include <cstdint>
#include <optional>
#include <string>

#include "common/numbers.h"

namespace zorvel {
namespace {

// The chapter candidates in order of precedence, with the grouping method
// flag each one reports.
struct Candidate {
  const char* item;
  const char* flag;
};
constexpr Candidate kCandidates[] = {{"TraumaHRG", "M"},
                                     {"BurnHRG", "B"},
                                     {"ProcHRG", "P"},
                                     {"ExceptHRG", "G"},
                                     {"DiagHRG", "D"}};

// Age in years from which a patient is an adult.
constexpr int32_t kAdultAge = 19;

bool StartsWith(const std::string& text, char first) {
  return !text.empty() && text.front() == first;
}

// The first non-empty candidate, or null when all are empty or any is an
// error HRG: one error HRG among them leaves the choice to the error HRG.
const Candidate* ChooseCandidate(const Record& record,
                                 const std::string** hrg) {
  const Candidate* chosen = nullptr;
  for (const Candidate& candidate : kCandidates) {
    const std::string* value = record.FindSingle(candidate.item);
    if (value == nullptr || value->empty()) continue;
    if (value->front() == 'U') return nullptr;
    if (chosen == nullptr) {
      chosen = &candidate;
      *hrg = value;
    }
  }
  return chosen;
}

// The "Candidate" steps of the choice: each chapter candidate, in order of
// precedence, with what became of it.
void TraceCandidates(Record& record, const Candidate* chosen) {
  bool error_seen = false;
  for (const Candidate& candidate : kCandidates) {
    const std::string* value = record.FindSingle(candidate.item);
    if (value == nullptr || value->empty()) continue;
    TraceStep& step =
        record.trace.Add("Candidate").Item(candidate.item).Hrg(*value);
    if (!record.errors.empty()) {
      step.Result("passed over").Reason("the record has errors");
    } else if (&candidate == chosen) {
      step.Result("chosen").Reason(std::string("flag ") + candidate.flag);
    } else if (value->front() == 'U' && !error_seen) {
      error_seen = true;
      step.Result("error HRG").Reason("an error HRG among the candidates decides");
    } else if (chosen == nullptr) {
      step.Result("passed over").Reason("an error HRG is among the candidates");
    } else {
      step.Result("lost").Reason(std::string("comes after ") + chosen->item);
    }
  }
}

// "AgeType" from "PSSAge" when present and not empty; empty when the age
// does not start with a number.
void DeriveAgeType(Record& record) {
  const std::string* age = record.FindSingle("PSSAge");
  if (age == nullptr || age->empty()) return;
  const std::optional<int32_t> years = ParseLeadingInt(*age);
  if (!years) {
    record.Set("AgeType", "");
  } else {
    record.Set("AgeType", *years < kAdultAge ? "Child" : "Adult");
  }
}

// The admission type of an elective admission by patient classification;
// null for a classification that has none.
const char* ElectiveType(const std::string& patient_class) {
  if (patient_class == "1") return "ELE";
  if (patient_class == "2") return "DAY";
  if (patient_class == "3" || patient_class == "4") return "REG";
  return nullptr;
}

}  // namespace

bool SelectFinalHrg(Record& record) {
  record.trace.Enter("FinalHrg");
  const Candidate* chosen = nullptr;
  if (record.errors.empty()) {
    const std::string* hrg = nullptr;
    chosen = ChooseCandidate(record, &hrg);
    if (chosen != nullptr) {
      record.Set("HRG", *hrg);
      record.Set("GroupingMethodFlag", chosen->flag);
    }
  }
  if (record.trace.on()) TraceCandidates(record, chosen);
  // An HRG set before this choice stands, even on a record with errors.
  if (record.IsBlank("HRG")) {
    record.Set("HRG", "UZ01Z");
    record.Set("GroupingMethodFlag", "U");
  }
  if (record.trace.on()) {
    record.trace.Set("HRG", record.FindSingle("HRG"));
    record.trace.Set("GroupingMethodFlag", record.FindSingle("GroupingMethodFlag"));
  }
  return true;
}

bool DerivePatientItems(Record& record) {
  DeriveAgeType(record);
  const std::string* patient_class = record.FindSingle("PSSCLASSPAT");
  const std::string* method = record.FindSingle("ADMIMETH");
  if (patient_class == nullptr || patient_class->empty()) return true;
  if (method == nullptr || method->empty()) return true;

  // Admission methods beginning "1" are elective, "2" emergency.
  if (!StartsWith(*method, '1')) {
    record.Set("AdmiType", "NON");
  } else if (const char* type = ElectiveType(*patient_class)) {
    record.Set("AdmiType", type);
  }
  const bool emergency = *patient_class == "1" && StartsWith(*method, '2');
  record.Set("AdmiTypeNE", emergency ? "EMR" : "");
  return true;
}

}  // namespace zorvel
