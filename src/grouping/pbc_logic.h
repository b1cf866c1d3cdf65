// The programme budgeting category "PBC": the primary diagnosis (of an
// episode, or the spell's "PDiag") looked up in "PBC1"/"ICD"; "PBC02U1" when
// nothing matches. Both insert, never replacing an existing "PBC".
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class EpisodePbcLogic {
 public:
  // Binds to `context` and the "PBC1"/"ICD" code map.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // Inserts "PBC" for the episode's first diagnosis.
  void Derive(Record& episode) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* codes_ = nullptr;
};

class SpellPbcLogic {
 public:
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // Inserts "PBC" for the spell's "PDiag" (read by subscript).
  void Derive(Record& spell) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* codes_ = nullptr;
};

}  // namespace zorvel
