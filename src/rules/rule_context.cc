// Rule and trigger list evaluation; the individual condition tests are in
// rule_functions.cc.
#include "rules/rule_context.h"

#include "rules/rule_functions.h"

namespace zorvel {
namespace {

// The lists whose codes supplement the procedure code before them, in the
// order they are consulted.
constexpr const char* kQualifierLists[] = {"Approach", "Site"};

}  // namespace

bool RuleContext::SetUp(const ReferenceData& data) {
  qualifiers_.clear();
  for (const char* name : kQualifierLists) {
    const CodeList* list = data.FindList(name);
    if (list == nullptr) return false;
    qualifiers_.push_back(list);
  }
  return true;
}

bool RuleContext::IsQualifier(const std::string& code) const {
  // An empty code is a procedure blanked by code deletion: it never breaks
  // the run of the code before it.
  if (code.empty()) return true;
  for (const CodeList* list : qualifiers_) {
    if (list != nullptr && list->Contains(code)) return true;
  }
  return false;
}

bool RuleContext::EvaluateTriggers(Record& record, const TriggerList& triggers,
                                   EvalMode mode, TriggerMatch* match) const {
  if (match != nullptr) *match = TriggerMatch();
  for (const Trigger& trigger : triggers) {
    if (!EvaluateRule(record, trigger.rule, mode)) continue;
    for (const HrgEntry& entry : trigger.entries) {
      if (!EvaluateRule(record, entry.rule, mode)) continue;
      if (match != nullptr) {
        match->trigger = &trigger;
        match->entry = &entry;
      }
      return true;
    }
    // A trigger whose entries all fail does not end the search.
  }
  return false;
}

const HrgEntry* RuleContext::MatchCode(Record& record, const CodeMap& codes,
                                      const std::string& code,
                                      EvalMode mode) const {
  const auto triggers = codes.find(code);
  if (triggers == codes.end()) return nullptr;
  TriggerMatch match;
  EvaluateTriggers(record, triggers->second, mode, &match);
  return match.entry;
}

bool RuleContext::EvaluateRule(Record& record, const Rule* rule,
                               EvalMode mode) const {
  if (rule == nullptr) return false;
  for (const RuleCondition& condition : rule->conditions) {
    // Stop at the first condition that fails: later ones may create items
    // and must not run.
    if (!rule_internal::EvaluateCondition(record, condition, *this, mode)) {
      return false;
    }
  }
  return true;
}

}  // namespace zorvel
