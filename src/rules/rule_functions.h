// The ten rule condition tests, one function each. RuleContext::EvaluateRule
// dispatches to them; they live in an internal namespace so that tests can
// reach the individual tests directly.
//
// Every test takes the record, the condition, the context (for its qualifier
// lists) and the evaluation mode, and returns whether the condition holds.
// None throws. A test never creates the item it tests; the only items a test
// may create (empty) are "DGVP", "GateTriggerField" and "GateTriggerPos",
// which are read by subscript.
#pragma once

#include "common/record.h"
#include "refdata/rule.h"
#include "rules/rule_context.h"

namespace zorvel {
namespace rule_internal {

// Function 0: for a single item, its value exists and is in the list; for an
// array item, some code at a position within from..to is in the list, less
// one occurrence of the dominant procedure in DGVP mode when the item name
// begins with "Procedure". Items outside the dictionary do not hold.
bool DataItemInList(Record& record, const RuleCondition& condition,
                    EvalMode mode);

// Function 1: a run of a code of place 1 followed by qualifier codes holding
// `count` distinct places 1..count, within from..to. In DGVP mode the first
// dominant procedure met outside a run opens no run.
bool NestedDataItemInList(Record& record, const RuleCondition& condition,
                          const RuleContext& context, EvalMode mode);

// Function 5: the values of the in-list codes within from..to add up to at
// least `count`.
bool SumListValues(const Record& record, const RuleCondition& condition);

// Function 6: as SumListValues, but each distinct code counts once.
bool SumDistinctValues(const Record& record, const RuleCondition& condition);

// Function 7: after the gate trigger's position, the first qualifier code in
// the list comes before any code that is not a qualifier.
bool RelDataItemInList(Record& record, const RuleCondition& condition,
                       const RuleContext& context);

// Function 8: DataItemInList; for an array item that fails on its own
// sequence, the same test on the item's "Old" sequence (the codes as they
// were before code deletion).
bool AllDataItemInList(Record& record, const RuleCondition& condition,
                       EvalMode mode);

// Function 9: the code right after the gate trigger's position is in the list.
bool NextDataItemInList(Record& record, const RuleCondition& condition);

// Applies the condition's function. Functions 2 and 3 and codes outside 0..9
// have no test and do not hold; neither does any function other than True
// whose condition has no list. True always holds.
bool EvaluateCondition(Record& record, const RuleCondition& condition,
                       const RuleContext& context, EvalMode mode);

}  // namespace rule_internal
}  // namespace zorvel
