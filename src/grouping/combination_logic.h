// Combination codes: each procedure found in the Combinations table whose
// combination rule holds deletes the codes the rule names and takes the
// combination code in its place.
#pragma once

#include "common/record.h"
#include "grouping/code_delete_logic.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class CombinationLogic {
 public:
  // Binds to the deletion logic, the context, the Combinations table and the
  // lists "Approach" and "Site"; true when all are present.
  bool SetUp(const CodeDeleteLogic* deletion, const RuleContext* context,
             const ReferenceData& data);

  // False when not set up, otherwise true.
  bool Derive(Record& record) const;

 private:
  const CodeDeleteLogic* deletion_ = nullptr;
  const RuleContext* context_ = nullptr;
  const Combinations* combinations_ = nullptr;
  bool ready_ = false;
};

}  // namespace zorvel
