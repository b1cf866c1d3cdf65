// Rule and trigger list evaluation; the individual condition tests are in
// rule_functions.cc.
#include "rules/rule_context.h"

#include "rules/rule_functions.h"

namespace zorvel {
namespace {

// The lists whose codes supplement the procedure code before them, in the
// order they are consulted.
constexpr const char* kQualifierLists[] = {"Approach", "Site"};

// "DataItemInList Procedure 1..24 in PROCS", with the threshold of the
// counting functions.
std::string DescribeCondition(const RuleCondition& condition) {
  std::string text = FunctionName(condition.function);
  if (condition.function == RuleFunction::kTrue) return text;
  text += ' ';
  text += condition.item;
  text += ' ' + std::to_string(condition.from) + ".." +
          std::to_string(condition.to);
  text += " in ";
  text += condition.list != nullptr ? condition.list->name() : "no list";
  switch (condition.function) {
    case RuleFunction::kNestedDataItemInList:
    case RuleFunction::kSumListValues:
    case RuleFunction::kSumDistinctValues:
      text += " count " + std::to_string(condition.count);
      break;
    default:
      break;
  }
  return text;
}

// Why `rule` did not hold, `failed` being the condition that failed.
std::string FailureReason(const Rule* rule, size_t failed) {
  if (rule == nullptr) return "no rule";
  const size_t count = rule->conditions.size();
  if (failed >= count) return "no condition failed";
  return "condition " + std::to_string(failed + 1) + " of " +
         std::to_string(count) + " failed: " +
         DescribeCondition(rule->conditions[failed]);
}

// One "Trigger" or "Entry" step.
void TraceRule(Record& record, std::string_view step, const Rule* rule,
               uint32_t line, bool held, size_t failed) {
  TraceStep& traced = record.trace.Add(step);
  traced.Rule(rule != nullptr ? std::string_view(rule->name) : "").Line(line);
  if (held) return;
  traced.Result("failed").Reason(FailureReason(rule, failed));
}

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

bool RuleContext::EvaluateTrigger(Record& record, const Trigger& trigger,
                                  EvalMode mode) const {
  if (!record.trace.on()) return EvaluateRule(record, trigger.rule, mode);
  size_t failed = 0;
  const bool held = Holds(record, trigger.rule, mode, &failed);
  const uint32_t line = trigger.entries.empty() ? 0 : trigger.entries[0].line;
  TraceRule(record, "Trigger", trigger.rule, line, held, failed);
  if (held) record.trace.last().Result("held");
  return held;
}

bool RuleContext::EvaluateEntry(Record& record, const HrgEntry& entry,
                                EvalMode mode) const {
  if (!record.trace.on()) return EvaluateRule(record, entry.rule, mode);
  size_t failed = 0;
  const bool held = Holds(record, entry.rule, mode, &failed);
  TraceRule(record, "Entry", entry.rule, entry.line, held, failed);
  TraceStep& step = record.trace.last();
  step.Hrg(entry.hrg);
  if (held) step.Result("taken");
  return held;
}

bool RuleContext::EvaluateTriggers(Record& record, const TriggerList& triggers,
                                   EvalMode mode, TriggerMatch* match) const {
  if (match != nullptr) *match = TriggerMatch();
  for (const Trigger& trigger : triggers) {
    if (!EvaluateTrigger(record, trigger, mode)) continue;
    for (const HrgEntry& entry : trigger.entries) {
      if (!EvaluateEntry(record, entry, mode)) continue;
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
                                      std::string_view code, EvalMode mode,
                                      TriggerMatch* match) const {
  const TriggerList* triggers = codes.Find(code);
  if (record.trace.on()) {
    record.trace.Add("Lookup")
        .Table(codes.table + "/" + codes.code_type)
        .Code(code)
        .Result(triggers == nullptr ? "not in table" : "found");
  }
  TriggerMatch found;
  if (triggers != nullptr) {
    EvaluateTriggers(record, *triggers, mode, &found);
  }
  if (match != nullptr) *match = found;
  return found.entry;
}

bool RuleContext::EvaluateRule(Record& record, const Rule* rule,
                               EvalMode mode) const {
  return Holds(record, rule, mode, nullptr);
}

bool RuleContext::Holds(Record& record, const Rule* rule, EvalMode mode,
                        size_t* failed) const {
  if (rule == nullptr) {
    if (failed != nullptr) *failed = 0;
    return false;
  }
  if (rule->always) return true;
  for (size_t i = 0; i < rule->conditions.size(); ++i) {
    // Stop at the first condition that fails: later ones may create items
    // and must not run.
    if (!rule_internal::EvaluateCondition(record, rule->conditions[i], *this,
                                          mode)) {
      if (failed != nullptr) *failed = i;
      return false;
    }
  }
  return true;
}

}  // namespace zorvel
