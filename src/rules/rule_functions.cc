// The ten rule condition tests.
#include "rules/rule_functions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/numbers.h"

namespace zorvel {
namespace rule_internal {
namespace {

using Sequence = std::vector<std::string>;

constexpr std::string_view kDgvpItem = "DGVP";
constexpr std::string_view kGateFieldItem = "GateTriggerField";
constexpr std::string_view kGatePosItem = "GateTriggerPos";
constexpr std::string_view kProcedurePrefix = "Procedure";

// The 0-based half-open index range [begin, end) of the 1-based inclusive
// positions from..to over a sequence of `size` codes. A from of 1 or less
// starts at the first code; the walk ends after position to, so a to below
// from (or below 1) covers nothing. Computed in 64 bits: no overflow for any
// pair of 32-bit positions.
struct IndexRange {
  size_t begin = 0;
  size_t end = 0;
};

IndexRange RangeOf(const RuleCondition& condition, size_t size) {
  const int64_t first = std::max<int64_t>(condition.from, 1) - 1;
  const int64_t last = std::min<int64_t>(condition.to, size);
  IndexRange range;
  if (last <= first) return range;  // empty
  range.begin = static_cast<size_t>(first);
  range.end = static_cast<size_t>(last);
  return range;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         text.compare(0, prefix.size(), prefix) == 0;
}

// Whether the DGVP discount applies: functions 0 and 8 in DGVP mode, on
// procedure items only.
bool DiscountApplies(const RuleCondition& condition, EvalMode mode) {
  return mode == EvalMode::kDgvp && StartsWith(condition.item, kProcedurePrefix);
}

// The array test of functions 0 and 8 on one sequence. With `dominant` set,
// the first in-list code equal to it is passed over, once: a rule asking for
// a procedure of some list inside the dominant procedure's own trigger list
// means another procedure of that list.
bool ArrayInList(const Sequence& codes, const RuleCondition& condition,
                 const std::string* dominant) {
  const IndexRange range = RangeOf(condition, codes.size());
  bool passed_over = dominant == nullptr;
  for (size_t i = range.begin; i < range.end; ++i) {
    if (!condition.list->Contains(codes[i])) continue;
    if (!passed_over && codes[i] == *dominant) {
      passed_over = true;
      continue;
    }
    return true;
  }
  return false;
}

// The array test of functions 0 and 8 on the item's sequence named `name`;
// false when the record lacks it. "DGVP" is read (and created empty) only
// when the discount applies and the sequence exists.
bool NamedArrayInList(Record& record, const ItemKey& name,
                      const RuleCondition& condition, EvalMode mode) {
  const Sequence* codes = record.FindList(name);
  if (codes == nullptr) return false;
  const std::string* dominant =
      DiscountApplies(condition, mode) ? &record.Single(kDgvpItem) : nullptr;
  return ArrayInList(*codes, condition, dominant);
}

// A set of small integers for the places of one nested run. Holds up to
// kInline values without allocating; a run longer than that (only possible
// with a large count) spills into a vector.
class PlaceSet {
 public:
  bool Contains(int32_t value) const {
    const int32_t* end = inline_.data() + std::min(size_, kInline);
    if (std::find(inline_.data(), end, value) != end) return true;
    return std::find(spill_.begin(), spill_.end(), value) != spill_.end();
  }
  void Add(int32_t value) {
    if (Contains(value)) return;
    if (size_ < kInline) {
      inline_[size_] = value;
    } else {
      spill_.push_back(value);
    }
    ++size_;
  }
  void Clear() {
    size_ = 0;
    spill_.clear();
  }
  size_t size() const { return size_; }

 private:
  static constexpr size_t kInline = 16;
  std::array<int32_t, kInline> inline_{};
  std::vector<int32_t> spill_;
  size_t size_ = 0;
};

// The sequence and the 0-based gate position that the positional tests 7 and
// 9 start from. Holds no sequence when the item is not an array, the record
// lacks its sequence, "GateTriggerField" names another item, or
// "GateTriggerPos" does not start with a number (the test then fails rather
// than the call). Both gate items are read by subscript, so they are created
// empty when absent.
struct GateStart {
  const Sequence* codes = nullptr;
  int64_t position = 0;
};

GateStart FindGateStart(Record& record, const RuleCondition& condition) {
  GateStart start;
  if (condition.kind != kArray) return start;
  const Sequence* codes = record.FindList(condition.item_key());
  if (codes == nullptr) return start;
  if (record.Single(kGateFieldItem) != condition.item) return start;
  std::optional<int32_t> position = ParseLeadingInt(record.Single(kGatePosItem));
  if (!position) return start;
  start.codes = codes;
  start.position = *position;
  return start;
}

// The first 0-based index after gate position `position`. Every index lies
// after a negative position, so such a position starts at the first code.
size_t IndexAfter(int64_t position) {
  return static_cast<size_t>(std::max<int64_t>(position + 1, 0));
}

// Whether `codes[i]` occurred earlier within [begin, i).
bool SeenBefore(const Sequence& codes, size_t begin, size_t i) {
  for (size_t j = begin; j < i; ++j) {
    if (codes[j] == codes[i]) return true;
  }
  return false;
}

// Sum of the values of the in-list codes in range; with `distinct`, each
// distinct code counts once. Ranges of up to kScanLimit codes find repeats by
// scanning back (no allocation); longer ones use an ordered set so that a
// huge request stays linear-logarithmic.
int64_t SumInRange(const Sequence& codes, const RuleCondition& condition,
                   bool distinct) {
  constexpr size_t kScanLimit = 64;
  const IndexRange range = RangeOf(condition, codes.size());
  const bool use_set = distinct && range.end - range.begin > kScanLimit;
  std::set<std::string_view> seen;
  int64_t sum = 0;
  for (size_t i = range.begin; i < range.end; ++i) {
    const int32_t* value = condition.list->Find(codes[i]);
    if (value == nullptr) continue;
    if (distinct) {
      const bool repeat = use_set ? !seen.insert(codes[i]).second
                                  : SeenBefore(codes, range.begin, i);
      if (repeat) continue;
    }
    sum += *value;
  }
  return sum;
}

}  // namespace

bool DataItemInList(Record& record, const RuleCondition& condition,
                    EvalMode mode) {
  switch (condition.kind) {
    case kSingle: {
      const std::string* value = record.FindSingle(condition.item_key());
      return value != nullptr && condition.list->Contains(*value);
    }
    case kArray:
      return NamedArrayInList(record, condition.item_key(), condition, mode);
    default:
      return false;  // not a data item
  }
}

bool NestedDataItemInList(Record& record, const RuleCondition& condition,
                          const RuleContext& context, EvalMode mode) {
  const Sequence* codes = record.FindList(condition.item_key());
  if (codes == nullptr) return false;
  const std::string* dominant =
      mode == EvalMode::kDgvp ? &record.Single(kDgvpItem) : nullptr;
  const int32_t count = condition.count;
  const IndexRange range = RangeOf(condition, codes->size());

  // The list's values are the places of codes within a run; a run opens at a
  // code of place 1 and is extended by qualifier codes of new places up to
  // count. Since empty codes are qualifiers, blanked codes do not break it.
  int32_t state = 1;  // 1: no run open; n > 1: n - 1 places collected
  PlaceSet places;
  for (size_t i = range.begin; i < range.end; ++i) {
    const std::string& code = (*codes)[i];
    const int32_t* place = condition.list->Find(code);
    const bool fits = place != nullptr && *place <= count;
    if (state > 1) {
      if (!context.IsQualifier(code) || (fits && places.Contains(*place))) {
        places.Clear();  // the run ends; this code may open the next one
        state = 1;
      } else if (fits) {
        places.Add(*place);
        ++state;
      }
    }
    if (state == 1) {
      if (dominant != nullptr && code == *dominant) {
        dominant = nullptr;  // the dominant procedure is passed over once
        continue;
      }
      if (place != nullptr && *place == 1) {
        places.Add(1);
        state = 2;
      }
    }
    if (static_cast<int64_t>(places.size()) >= count) return true;
  }
  return false;
}

bool SumListValues(const Record& record, const RuleCondition& condition) {
  const Sequence* codes = record.FindList(condition.item_key());
  if (codes == nullptr) return false;
  return SumInRange(*codes, condition, /*distinct=*/false) >= condition.count;
}

bool SumDistinctValues(const Record& record, const RuleCondition& condition) {
  const Sequence* codes = record.FindList(condition.item_key());
  if (codes == nullptr) return false;
  return SumInRange(*codes, condition, /*distinct=*/true) >= condition.count;
}

bool RelDataItemInList(Record& record, const RuleCondition& condition,
                       const RuleContext& context) {
  const GateStart start = FindGateStart(record, condition);
  if (start.codes == nullptr) return false;
  // Qualifier codes after the trigger code belong to it; the first ordinary
  // code ends the trigger code's run.
  for (size_t i = IndexAfter(start.position); i < start.codes->size(); ++i) {
    const std::string& code = (*start.codes)[i];
    if (!context.IsQualifier(code)) return false;
    if (condition.list->Contains(code)) return true;
  }
  return false;
}

bool AllDataItemInList(Record& record, const RuleCondition& condition,
                       EvalMode mode) {
  if (condition.kind != kArray) return DataItemInList(record, condition, mode);
  if (record.FindList(condition.item_key()) == nullptr) return false;
  // A code blanked by code deletion still counts through the "Old" sequence.
  return NamedArrayInList(record, condition.item_key(), condition, mode) ||
         NamedArrayInList(record, condition.old_item_key(), condition, mode);
}

bool NextDataItemInList(Record& record, const RuleCondition& condition) {
  const GateStart start = FindGateStart(record, condition);
  if (start.codes == nullptr) return false;
  const size_t next = IndexAfter(start.position);
  // A position of -2 or below has no next code: IndexAfter would give the
  // first code, so it is ruled out here.
  if (start.position + 1 < 0 || next >= start.codes->size()) return false;
  return condition.list->Contains((*start.codes)[next]);
}

bool EvaluateCondition(Record& record, const RuleCondition& condition,
                       const RuleContext& context, EvalMode mode) {
  if (condition.function == RuleFunction::kTrue) return true;
  // Every other function consults the list; without one it cannot hold.
  if (condition.list == nullptr) return false;
  switch (condition.function) {
    case RuleFunction::kDataItemInList:
      return DataItemInList(record, condition, mode);
    case RuleFunction::kNestedDataItemInList:
      return NestedDataItemInList(record, condition, context, mode);
    case RuleFunction::kSumListValues:
      return SumListValues(record, condition);
    case RuleFunction::kSumDistinctValues:
      return SumDistinctValues(record, condition);
    case RuleFunction::kRelDataItemInList:
      return RelDataItemInList(record, condition, context);
    case RuleFunction::kAllDataItemInList:
      return AllDataItemInList(record, condition, mode);
    case RuleFunction::kNextDataItemInList:
      return NextDataItemInList(record, condition);
    default:
      // DGVPInList, NestedDGVPInList and unknown codes have no test: a rule
      // that reaches one does not hold.
      return false;
  }
}

}  // namespace rule_internal
}  // namespace zorvel
