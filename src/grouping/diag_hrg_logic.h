// The diagnosis-driven HRG: the primary diagnosis (entry 0 of "Diagnosis")
// looked up in trigger table "Core1", code type "ICD", evaluated in plain
// mode. Writes "DiagHRG" (inserted), the gate trigger items, and for an error
// HRG "HRG_ERROR" and the matching diagnosis error.
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class DiagHrgLogic {
 public:
  // Binds to `context` and the "Core1"/"ICD" code map. True when both exist.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // False when not set up or the record has no diagnosis; true otherwise,
  // whether or not an HRG was found.
  bool Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* codes_ = nullptr;
};

}  // namespace zorvel
