// Appends to the list "BP" the HRG that "ABP1"/"HRG7" gives for the record's
// final "HRG".
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class BpLogic {
 public:
  // Binds to `context` and the "ABP1"/"HRG7" code map.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // False when not set up, otherwise true.
  bool Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* codes_ = nullptr;
};

}  // namespace zorvel
