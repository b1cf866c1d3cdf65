// Evaluation of rules and trigger lists against a record. Each mode owns one
// RuleContext, set up with the qualifier lists "Approach" and "Site", and
// evaluates every trigger list of its grouping through it.
//
// Evaluation keeps no state between calls and never throws: a condition the
// tables define oddly (no list, an unevaluated function code, a gate position
// that is not a number) simply does not hold.
//
// For a record whose trace is on, the look-ups, triggers and entries are
// traced as steps of the component the record last entered: "Lookup" (the
// table and code), "Trigger" and "Entry" (rule, table line, the entry's HRG,
// whether it held, and for a failure the condition that failed).
#pragma once

#include <string>
#include <vector>

#include "common/record.h"
#include "refdata/reference_data.h"

namespace zorvel {

// Plain mode, or DGVP mode in which procedure conditions do not count the
// dominant procedure (the record's "DGVP" value) once.
enum class EvalMode { kPlain, kDgvp };

// The trigger and entry that EvaluateTriggers chose; both null when none.
struct TriggerMatch {
  const Trigger* trigger = nullptr;
  const HrgEntry* entry = nullptr;
};

class RuleContext {
 public:
  // Looks up "Approach" then "Site" in `data`. Returns false as soon as one is
  // missing. The lists must outlive the context (until the next load).
  bool SetUp(const ReferenceData& data);

  // True when `code` is empty or in any qualifier list.
  bool IsQualifier(const std::string& code) const;

  // The first trigger of `triggers` whose rule holds and, within it, the
  // first entry whose rule holds. A trigger whose entries all fail does not
  // stop the search. Returns false with an empty match when nothing held.
  bool EvaluateTriggers(Record& record, const TriggerList& triggers,
                        EvalMode mode, TriggerMatch* match) const;

  // The entry chosen for `code` in `codes`: its trigger list evaluated as by
  // EvaluateTriggers, the match also stored in `match` when not null. Null
  // when the map lacks the code or nothing held.
  const HrgEntry* MatchCode(Record& record, const CodeMap& codes,
                            std::string_view code, EvalMode mode,
                            TriggerMatch* match = nullptr) const;

  // EvaluateRule on the rule of `entry`, traced as an "Entry" step.
  bool EvaluateEntry(Record& record, const HrgEntry& entry,
                     EvalMode mode) const;

  // True when every condition of `rule` holds, tested in order and stopping
  // at the first that fails. A null rule is false; a rule without conditions
  // is true. May create the record's "DGVP", "GateTriggerField" and
  // "GateTriggerPos" single values empty, as subscript reads do.
  bool EvaluateRule(Record& record, const Rule* rule, EvalMode mode) const;

  // Adds a qualifier list directly; for tests that build tables in memory.
  void AddQualifierList(const CodeList* list) { qualifiers_.push_back(list); }

 private:
  // EvaluateRule; on a failure `failed` (when not null) receives the index
  // of the condition that did not hold, or the count of conditions for a
  // null rule.
  bool Holds(Record& record, const Rule* rule, EvalMode mode,
             size_t* failed) const;
  bool EvaluateTrigger(Record& record, const Trigger& trigger,
                       EvalMode mode) const;

  std::vector<const CodeList*> qualifiers_;
};

}  // namespace zorvel
