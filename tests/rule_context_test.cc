// Rule and trigger evaluation that no request reaches: the tables cannot give
// a trigger or entry without a rule, nor a rule without conditions. The rest
// is shown by tests/cases/rules.json.
#include "rules/rule_context.h"

#include <gtest/gtest.h>

namespace zorvel {
namespace {

TEST(RuleContextTest, MissingRulesNeverHoldAndEmptyRulesAlwaysHold) {
  const RuleContext context;
  const Rule empty;
  Record record;
  EXPECT_FALSE(context.EvaluateRule(record, nullptr, EvalMode::kPlain));
  EXPECT_TRUE(context.EvaluateRule(record, &empty, EvalMode::kPlain));

  const TriggerList triggers = {
      Trigger{nullptr, {HrgEntry{"AA01A", "", &empty}}},
      Trigger{&empty, {HrgEntry{"BB01A", "", nullptr}, HrgEntry{"BB01B", "", &empty}}}};
  TriggerMatch match;
  ASSERT_TRUE(context.EvaluateTriggers(record, triggers, EvalMode::kPlain, &match));
  EXPECT_EQ(match.trigger, &triggers[1]);
  EXPECT_EQ(match.entry, &triggers[1].entries[1]);
  EXPECT_TRUE(context.EvaluateTriggers(record, triggers, EvalMode::kPlain, nullptr));

  // Finding nothing empties a match left by an earlier call.
  const TriggerList without_entries = {Trigger{&empty, {}}};
  EXPECT_FALSE(context.EvaluateTriggers(record, without_entries, EvalMode::kDgvp, &match));
  EXPECT_EQ(match.trigger, nullptr);
  EXPECT_EQ(match.entry, nullptr);
}

}  // namespace
}  // namespace zorvel
