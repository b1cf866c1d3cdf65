// Code deletion on procedure lists: the marking walks of the "Procedure"
// rule conditions, blanking, and the deletion made for an unbundled HRG.
//
// Every walk states its bounds: positions come from the tables or the caller
// and may lie before or beyond the list, and marks may be shorter than the
// list; no walk reads a code or sets a mark outside them.
#include "grouping/code_delete_logic.h"

#include <algorithm>
#include <string_view>

namespace zorvel {
namespace {

using Sequence = std::vector<std::string>;

constexpr std::string_view kProcedureItem = "Procedure";

// Marks 0-based position `i`; a position beyond the marks is left alone.
void Mark(DeletionMarks& marks, size_t i) {
  if (i < marks.size()) marks.set(i);
}

// A condition without list ("Default") holds no code.
bool InList(const RuleCondition& condition, const std::string& code) {
  return condition.list != nullptr && condition.list->Contains(code);
}

bool HasValue(const RuleCondition& condition, const std::string& code,
              int32_t value) {
  const int32_t* found =
      condition.list == nullptr ? nullptr : condition.list->Find(code);
  return found != nullptr && *found == value;
}

// The 0-based index of the condition's 1-based from: a from of 1 or less
// starts at the first code.
size_t FirstIndex(const RuleCondition& condition) {
  return static_cast<size_t>(std::max<int64_t>(condition.from, 1) - 1);
}

// Whether 0-based index `i` lies beyond the condition's 1-based to.
bool BeyondTo(const RuleCondition& condition, size_t i) {
  return static_cast<int64_t>(i) >= condition.to;
}

// The first 0-based index after `position`; every index lies after a
// negative position. Computed in 64 bits, so the largest position has none.
size_t IndexAfter(int32_t position) {
  return static_cast<size_t>(std::max<int64_t>(int64_t{position} + 1, 0));
}

// DataItemInList: every in-list code from..to. In wide mode an in-list code
// that is no qualifier opens a tail: the qualifier codes right after it go
// with it, even beyond to, and the first other code ends the walk.
void MarkInList(const CodeDeleteLogic& logic, const RuleCondition& condition,
                const Sequence& codes, DeletionMarks& marks, bool wide) {
  bool tail = false;
  for (size_t i = FirstIndex(condition); i < codes.size(); ++i) {
    const std::string& code = codes[i];
    if (tail) {
      if (!logic.IsQualifier(code)) return;
      Mark(marks, i);
      continue;
    }
    if (BeyondTo(condition, i)) return;
    if (!InList(condition, code)) continue;
    Mark(marks, i);
    tail = wide && !logic.IsQualifier(code);
  }
}

// NestedDataItemInList: the run open when the walk over from..to ends. A run
// opens at a code of value 1 and lasts while qualifier codes follow; any
// other code closes it (its marks are dropped) and may open the next. The
// walk stops once the state (1 outside a run, 2 inside) exceeds count, so a
// count of 1 stops at the first run and a count of 2 or more walks the whole
// range. Only the last run keeps marks, so they are made once its extent is
// known, rather than gathered in a second set: its opening code, and each
// code after it that is of value 2 (in wide mode: every one, all qualifiers).
void MarkNestedRun(const CodeDeleteLogic& logic,
                   const RuleCondition& condition, const Sequence& codes,
                   DeletionMarks& marks, bool wide) {
  bool open = false;
  size_t start = 0;
  size_t end = 0;  // one past the last code walked
  for (size_t i = FirstIndex(condition); i < codes.size(); ++i) {
    if (BeyondTo(condition, i)) break;
    if (open && !logic.IsQualifier(codes[i])) open = false;
    if (!open && HasValue(condition, codes[i], 1)) {
      open = true;
      start = i;
    }
    end = i + 1;
    if ((open ? 2 : 1) > condition.count) break;
  }
  if (!open) return;
  Mark(marks, start);
  for (size_t i = start + 1; i < end; ++i) {
    if (wide || HasValue(condition, codes[i], 2)) Mark(marks, i);
  }
}

// RelDataItemInList: among the qualifier codes right after the trigger code,
// the first in-list one (in wide mode: the first one).
void MarkRelative(const CodeDeleteLogic& logic, const RuleCondition& condition,
                  int32_t position, const Sequence& codes,
                  DeletionMarks& marks, bool wide) {
  for (size_t i = IndexAfter(position); i < codes.size(); ++i) {
    if (!logic.IsQualifier(codes[i])) return;
    if (wide || InList(condition, codes[i])) {
      Mark(marks, i);
      return;
    }
  }
}

// NextDataItemInList: the code right after the trigger code when it is in
// the list (in wide mode: whatever it is).
void MarkNext(const RuleCondition& condition, int32_t position,
              const Sequence& codes, DeletionMarks& marks, bool wide) {
  const int64_t next = int64_t{position} + 1;
  if (next < 0 || next >= static_cast<int64_t>(codes.size())) return;
  const size_t i = static_cast<size_t>(next);
  if (wide || InList(condition, codes[i])) Mark(marks, i);
}

void MarkCondition(const CodeDeleteLogic& logic,
                   const RuleCondition& condition, int32_t position,
                   const Sequence& codes, DeletionMarks& marks, bool wide) {
  switch (condition.function) {
    case RuleFunction::kDataItemInList:
      return MarkInList(logic, condition, codes, marks, wide);
    case RuleFunction::kNestedDataItemInList:
      return MarkNestedRun(logic, condition, codes, marks, wide);
    case RuleFunction::kRelDataItemInList:
      return MarkRelative(logic, condition, position, codes, marks, wide);
    case RuleFunction::kNextDataItemInList:
      return MarkNext(condition, position, codes, marks, wide);
    case RuleFunction::kAllDataItemInList:
      // Holds through the codes as received, so it names no code to delete.
      return;
    default:
      // DGVPInList, NestedDGVPInList, True, the two sums and unknown codes
      // name no positions. Such a condition on "Procedure" is a table fault
      // in a rule used for deletion; it deletes nothing rather than failing
      // the whole request, and the rule's other conditions still mark.
      return;
  }
}

// The trigger code and the qualifier codes after it, passing over blanks
// (codes already deleted) and stopping at the first other code. A position
// outside the list names no trigger code, so nothing is marked.
void MarkTriggerRun(const CodeDeleteLogic& logic, int32_t position,
                    const Sequence& codes, DeletionMarks& marks) {
  if (position < 0 || static_cast<size_t>(position) >= codes.size()) return;
  Mark(marks, static_cast<size_t>(position));
  for (size_t i = IndexAfter(position); i < codes.size(); ++i) {
    if (codes[i].empty()) continue;
    if (!logic.IsQualifier(codes[i])) return;
    Mark(marks, i);
  }
}

}  // namespace

bool CodeDeleteLogic::SetUp(const ReferenceData& data) {
  // Both are bound together, so either pointer says whether it is ready.
  approach_ = nullptr;
  site_ = nullptr;
  const CodeList* approach = data.FindList("Approach");
  if (approach == nullptr) return false;
  const CodeList* site = data.FindList("Site");
  if (site == nullptr) return false;
  approach_ = approach;
  site_ = site;
  return true;
}

bool CodeDeleteLogic::IsQualifier(const std::string& code) const {
  // A blank is a deleted code, not a supplement of the code before it.
  if (code.empty() || approach_ == nullptr || site_ == nullptr) return false;
  return approach_->Contains(code) || site_->Contains(code);
}

void CodeDeleteLogic::MarkByRule(int32_t position, const Rule* rule,
                                 const std::vector<std::string>& procedures,
                                 DeletionMarks& marks, bool wide) const {
  if (approach_ == nullptr || site_ == nullptr || rule == nullptr) return;
  for (const RuleCondition& condition : rule->conditions) {
    if (condition.item != kProcedureItem) continue;
    MarkCondition(*this, condition, position, procedures, marks, wide);
  }
}

void CodeDeleteLogic::DeleteMarked(std::vector<std::string>& procedures,
                                   const DeletionMarks& marks,
                                   GroupingTrace* trace, const HrgEntry* by) {
  const bool traced = trace != nullptr && trace->on();
  // Marks beyond the list have no code; find_next ends with npos.
  for (size_t i = marks.find_first(); i < procedures.size();
       i = marks.find_next(i)) {
    if (traced && !procedures[i].empty()) {
      TraceStep& step = trace->Add("Delete").Item(kProcedureItem).Index(
          static_cast<int64_t>(i)).Code(procedures[i]);
      if (by != nullptr) {
        step.Hrg(by->hrg).Line(by->line);
        if (by->rule != nullptr) step.Rule(by->rule->name);
      }
      step.Result("deleted");
    }
    procedures[i].clear();
  }
}

void CodeDeleteLogic::DeleteTriggerCodes(
    int32_t position, const TriggerMatch& match,
    std::vector<std::string>& procedures, GroupingTrace* trace) const {
  if (approach_ == nullptr || site_ == nullptr) return;
  DeletionMarks marks(procedures.size());
  const Rule* trigger_rule = match.trigger ? match.trigger->rule : nullptr;
  const Rule* entry_rule = match.entry ? match.entry->rule : nullptr;
  MarkByRule(position, trigger_rule, procedures, marks, /*wide=*/true);
  MarkByRule(position, entry_rule, procedures, marks, /*wide=*/true);
  MarkTriggerRun(*this, position, procedures, marks);
  DeleteMarked(procedures, marks, trace, match.entry);
}

}  // namespace zorvel
