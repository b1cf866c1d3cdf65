// The procedure-driven HRG: the dominant procedure of "Procedure" by the
// hierarchy "ProcHier" (highest value, earliest on ties), recorded as "DGVP",
// looked up in "Core1"/"OPCS" and evaluated in DGVP mode. Writes "ProcHRG",
// the gate trigger items, and the procedure errors UZ05/UZ06.
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class ProcHrgLogic {
 public:
  // Binds to `context`, the "Core1"/"OPCS" code map and the list "ProcHier"
  // (the table looked up first). True when all three exist.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // True only when a dominant procedure was found and its trigger list gave
  // an HRG entry.
  bool Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* codes_ = nullptr;
  const CodeList* hierarchy_ = nullptr;
};

}  // namespace zorvel
