// Specialist palliative care unbundled HRGs: the treatment specialty in
// "USPC1"/"TRETSPEF", else the code "SPC3" in "USPC3"/"SPC", appended to
// "UnbundledHRG" with the day count after a "*".
#pragma once

#include "common/record.h"
#include "grouping/code_delete_logic.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class PalliativeCareLogic {
 public:
  bool SetUp(const CodeDeleteLogic* deletion, const RuleContext* context,
             const ReferenceData& data);

  // Records no errors; does nothing when not set up.
  void Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* specialties_ = nullptr;
  const CodeMap* spc_ = nullptr;
};

}  // namespace zorvel
