// The HRG of an outpatient attendance: an error HRG for an attendance with
// errors, else the procedure HRG, else the HRG of the dominant outpatient
// procedure (an "X62" code by "ProcHier" in "Core1"/"OPCS"), else the global
// default of "Core5", else an outpatient fallback "WF01x"/"WF02x" by the
// first-attendance code and whether an "X622" or "X623" was coded.
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class NacHrgLogic {
 public:
  // Binds to "ProcHier", "Core1"/"OPCS" and "Core5"/"Default", looked up in
  // that order; true when all exist.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // Sets "HRG" and "GroupingMethodFlag"; false only when not set up.
  bool Derive(Record& record) const;

 private:
  bool DeriveFromOutpatientProcedure(Record& record) const;

  const RuleContext* context_ = nullptr;
  const CodeList* hierarchy_ = nullptr;
  const CodeMap* procedures_ = nullptr;
  const CodeMap* defaults_ = nullptr;
};

// The alternative HRG of an outpatient attendance, "ALT_HRG", from its main
// specialty in "Core6"/"MAINSPEF"; it also gives "Procedure" back the codes
// as received.
class AltHrgLogic {
 public:
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // True when a specialty HRG was set; otherwise "ALT_HRG" is set empty.
  bool Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* specialties_ = nullptr;
};

}  // namespace zorvel
