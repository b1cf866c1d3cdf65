// Specialist palliative care unbundled HRGs, appended to "UnbundledHRG" with
// the day count after a "*": for an admitted episode the treatment specialty
// in "USPC1"/"TRETSPEF", else the code "SPC3" in "USPC3"/"SPC"; for an
// outpatient attendance the specialty in "USPC2"/"TRETSPEF", with no
// fallback.
#pragma once

#include "common/record.h"
#include "grouping/code_delete_logic.h"
#include "grouping/unbundled_logic.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class PalliativeCareLogic {
 public:
  bool SetUp(const CodeDeleteLogic* deletion, const RuleContext* context,
             const ReferenceData& data,
             CareSetting setting = CareSetting::kAdmitted);

  // Records no errors; does nothing when not set up.
  void Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* specialties_ = nullptr;
  const CodeMap* spc_ = nullptr;  // the admitted fallback
};

}  // namespace zorvel
