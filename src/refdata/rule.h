// Rules of the "RuleDefs" table and the trigger, HRG entry and combination
// records of "TriggerAndRulesToHrg" and "Combination". These are the plain
// shapes held by ReferenceData; evaluation lives in rules/rule_context.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/unordered_map.hpp>
#include <boost/unordered_set.hpp>

#include "common/record.h"
#include "refdata/code_list.h"
#include "refdata/code_table.h"
#include "refdata/data_item_dictionary.h"

namespace zorvel {

// The test a rule condition applies, by its code in the table.
enum class RuleFunction : uint8_t {
  kDataItemInList = 0,
  kNestedDataItemInList = 1,
  kDgvpInList = 2,
  kNestedDgvpInList = 3,
  kTrue = 4,
  kSumListValues = 5,
  kSumDistinctValues = 6,
  kRelDataItemInList = 7,
  kAllDataItemInList = 8,
  kNextDataItemInList = 9,
};

// The function's name as the table writes it ("DataItemInList", ...);
// "Unknown" for a code outside the ten.
inline const char* FunctionName(RuleFunction function) {
  constexpr const char* kNames[10] = {
      "DataItemInList",  "NestedDataItemInList", "DGVPInList",
      "NestedDGVPInList", "True",               "SumListValues",
      "SumDistinctValues", "RelDataItemInList", "AllDataItemInList",
      "NextDataItemInList"};
  const auto code = static_cast<uint8_t>(function);
  return code < 10 ? kNames[code] : "Unknown";
}

struct RuleCondition {
  RuleFunction function = RuleFunction::kTrue;
  std::string item;                 // data item name tested
  const CodeList* list = nullptr;   // null for "Default" (no list)
  int32_t from = 1;                 // first position looked at, from 1
  int32_t to = 1;                   // last position looked at
  int16_t count = 0;                // threshold of counting functions
  // Derived from the item by SetItem, so that evaluation needs no look-up,
  // hashing or allocation:
  DataItemKind kind = kUnknownItem; // KindOf(item)
  std::string old_item;             // item + "Old", for AllDataItemInList
  uint32_t item_hash = 0;
  uint32_t old_item_hash = 0;

  // Names the item tested, with everything derived from it.
  void SetItem(std::string name) {
    item = std::move(name);
    kind = KindOf(item);
    old_item = item + "Old";
    item_hash = HashItemName(item);
    old_item_hash = HashItemName(old_item);
  }
  ItemKey item_key() const { return ItemKey(item, item_hash); }
  ItemKey old_item_key() const { return ItemKey(old_item, old_item_hash); }
};

// A rule holds when every condition holds, tested in order.
struct Rule {
  ArenaVector<RuleCondition> conditions;
  std::string name;                 // its name in the table, for traces
  // Every condition is "True", so the rule holds for every record without
  // testing; set by the loader once the rule is complete.
  bool always = false;
};

// An HRG a trigger or combination row gives. Its texts view texts that last
// as long as the entry: those the reference data keeps (TextPool), or
// literals in tests that build tables in memory.
struct HrgEntry {
  std::string_view hrg;
  std::string_view error_code;      // "UZ01", "UZ14", ... or empty
  const Rule* rule = nullptr;
  uint32_t line = 0;                // its line in the table file; 0 if none
};

using HrgEntries = ArenaVector<HrgEntry>;

// The texts of the tables' entries, each kept once: the few thousand HRG
// codes and error codes that a national set's entries repeat.
class TextPool {
 public:
  explicit TextPool(TableArena* arena = nullptr)
      : texts_(0, TextHash(), TextEqual(), ArenaAllocator<std::string>(arena)) {}

  // A view of the pool's copy of `text`, which lasts as long as the pool.
  std::string_view Intern(std::string_view text) {
    auto it = texts_.find(text, TextHash(), TextEqual());
    if (it == texts_.end()) it = texts_.emplace(text).first;
    return *it;
  }

 private:
  // Nodes never move, so neither do the texts in them.
  boost::unordered_set<std::string, TextHash, TextEqual, ArenaAllocator<std::string>> texts_;
};

struct Trigger {
  const Rule* rule = nullptr;
  HrgEntries entries;
};

using TriggerList = ArenaVector<Trigger>;
// Code to trigger list, for one table and code type, with the names of both
// for traces.
struct CodeMap {
  // A map whose tables come from `arena`, or from the heap without one.
  explicit CodeMap(TableArena* arena = nullptr) : codes(arena) {}

  // The trigger list of `code`, or null when the table lacks it.
  const TriggerList* Find(std::string_view code) const { return codes.Find(code); }
  bool Contains(std::string_view code) const { return codes.Find(code) != nullptr; }

  CodeTable<TriggerList> codes;
  std::string table;
  std::string code_type;
};
// Code type to code map, for one table.
using CodeTypeMap = NameMap<CodeMap>;
// Table name to its code types.
using TriggerTables = NameMap<CodeTypeMap>;
// Combination name to its ordered candidates (error codes always empty).
using Combinations = CodeTable<std::vector<HrgEntry>>;

}  // namespace zorvel
