// The global exception HRG "ExceptHRG": the default trigger list of "Core5"
// (code type "Default", code "0"), which applies to every record.
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

class ExceptionLogic {
 public:
  // Binds to `context` and the "Core5"/"Default"/"0" trigger list.
  bool SetUp(const RuleContext* context, const ReferenceData& data);

  // False when not set up, otherwise true.
  bool Derive(Record& record) const;

 private:
  const RuleContext* context_ = nullptr;
  const CodeMap* triggers_ = nullptr;
};

}  // namespace zorvel
