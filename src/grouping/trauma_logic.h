// The multiple-trauma HRG "TraumaHRG": opened by the primary diagnosis in
// "Core4"/"ICD", refined by the dominant trauma procedure (by the list
// "MTPH", recorded as "DomTraumaProcedure") in "Core4"/"OPCS".
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class TraumaLogic {
 public:
  // Binds to `context`, "Core4"/"ICD", "Core4"/"OPCS" and "MTPH", looked up
  // in that order. True when all exist.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // False when the record has no diagnosis (or the logic is not set up).
  bool Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* diagnoses_ = nullptr;
  const CodeMap* procedures_ = nullptr;
  const CodeList* hierarchy_ = nullptr;
};

}  // namespace zorvel
