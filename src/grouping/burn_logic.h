// The burns HRG "BurnHRG" in two stages: the default trigger list of
// "Core7" (code type "Default", code "0"), then the "Core3"/"HRG6" list
// keyed by the first entry's error code text.
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class BurnLogic {
 public:
  // Binds to `context`, the "Core7"/"Default"/"0" trigger list and the
  // "Core3"/"HRG6" code map. True when all exist.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // Always true.
  bool Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* first_stage_ = nullptr;
  const CodeMap* second_stage_ = nullptr;
};

}  // namespace zorvel
