// The reference data set: the six encrypted tables read from the data
// location given to CS_Prepare. LoadAll clears and refills every table; after
// a successful load the set is only read. Rules, code lists, trigger lists and
// combinations keep their addresses until the next LoadAll, so mode set-ups
// may hold pointers to them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include <boost/unordered_map.hpp>

#include "refdata/code_list.h"
#include "refdata/code_table.h"
#include "refdata/rule.h"

namespace zorvel {

// The codes of one validation list.
class ValidationSet {
 public:
  // A set whose table comes from `arena`, or from the heap without one.
  explicit ValidationSet(TableArena* arena = nullptr) : codes_(arena) {}
  ValidationSet(std::initializer_list<std::string_view> codes) {
    for (std::string_view code : codes) Insert(code);
  }

  bool Contains(std::string_view code) const { return codes_.Find(code) != nullptr; }
  void Insert(std::string_view code) { codes_.Insert(code) = 1; }
  size_t size() const { return codes_.size(); }

 private:
  CodeTable<uint8_t> codes_;  // the value is unused
};
using ValidationLists = NameMap<ValidationSet>;
using CodeLists = NameMap<CodeList>;
using RuleMap = NameMap<Rule>;
using CodeTexts = NameMap<std::string>;

// The six table files, in load order.
inline constexpr const char* kTableFileNames[6] = {
    "ValidationLists.csv.enc", "Lists.csv.enc",       "RuleDefs.csv.enc",
    "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc", "Code.csv.enc"};

// How a load ended.
enum class LoadStatus {
  kOk,               // all six tables loaded
  kMissingFile,      // at least one file could not be opened
  kBrokenReference,  // a table named a rule or list that another lacks
  kDamagedFile,      // a file is not whole (TableReport::damage), or a row
                     // of the wrong field count ended a table early
};

class ReferenceData {
 public:
  ReferenceData();

  // Loads the six tables from `location` followed directly by each file name
  // (no separator is inserted). All six are attempted, except that a broken
  // cross-reference abandons the load at once. A missing file outranks a
  // damaged one in the result. Never throws.
  LoadStatus LoadAll(const std::string& location);
  // The error text of a load abandoned for a broken reference, such as
  // "InputRules - Rule list missing from list database"; empty otherwise.
  const std::string& load_error() const { return load_error_; }

  // Look-ups; each returns null when the name is absent.
  const ValidationSet* FindValidationList(const std::string& name) const;
  const CodeList* FindList(const std::string& name) const;
  const Rule* FindRule(const std::string& name) const;
  const CodeMap* FindCodeMap(const std::string& table,
                             const std::string& code_type) const;
  const std::vector<HrgEntry>* FindCombination(const std::string& name) const;

  const ValidationLists& validation_lists() const { return validation_lists_; }
  const CodeLists& lists() const { return lists_; }
  const RuleMap& rules() const { return rules_; }
  const TriggerTables& trigger_tables() const { return trigger_tables_; }
  const Combinations& combinations() const { return combinations_; }
  const CodeTexts& code_texts() const { return code_texts_; }

  // Mutable access for the loaders and for tests that build tables in memory.
  ValidationLists& mutable_validation_lists() { return validation_lists_; }
  CodeLists& mutable_lists() { return lists_; }
  RuleMap& mutable_rules() { return rules_; }
  TriggerTables& mutable_trigger_tables() { return trigger_tables_; }
  Combinations& mutable_combinations() { return combinations_; }
  CodeTexts& mutable_code_texts() { return code_texts_; }

  // The arena the loaders take the tables' memory from.
  TableArena* arena() { return arena_.get(); }
  // The texts the trigger and combination entries view.
  TextPool& entry_texts() { return entry_texts_; }

  // Empties every table and gives their memory back.
  void Clear();

 private:
  // Declared first, so that it outlives the tables made from it.
  std::unique_ptr<TableArena> arena_;
  ValidationLists validation_lists_;
  CodeLists lists_;
  RuleMap rules_;
  TriggerTables trigger_tables_;
  Combinations combinations_;
  CodeTexts code_texts_;
  TextPool entry_texts_;
  std::string load_error_;
};

}  // namespace zorvel
