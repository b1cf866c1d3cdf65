// Test support: writes six plain CSV table texts as encrypted table files into
// a fresh temporary directory, packed with the project's own packer, so that a
// test can load them through ReferenceData or the plug-in.
#pragma once

#include <string>

#include "support/scratch.h"

namespace zorvel::testing {

// The header line of the trigger table.
inline constexpr char kTriggerHeader[] =
    "Table,CodeType,Code,EntryRule,HRG,Unused,TriggerRule,ErrorCode\n";

struct TableTexts {            // plain CSV texts, written as-is
  std::string validation_lists, lists, rule_defs;
  std::string triggers = kTriggerHeader;                // header line included
  std::string combinations = "Combination,Rule,HRG\n";  // header line included
  std::string codes;
};

// Texts with a list "L" holding "X01" of value 1, a rule "A" that is always
// true (on "Age") and a rule "B" that looks for "Procedure" in "L"; the other
// tables hold no rows, ready for triggers and combinations.
TableTexts TwoRuleTexts();

// The six tables packed into a fresh scratch directory, removed on
// destruction.
class PackedTables : public ScratchDir {
 public:
  explicit PackedTables(const TableTexts& texts);
  // Packs the six <Name>.csv files of folder `csv_dir`; fault() says what
  // went wrong, if anything.
  explicit PackedTables(const std::string& csv_dir);

  const std::string& fault() const { return fault_; }

 private:
  std::string fault_;
};

}  // namespace zorvel::testing
