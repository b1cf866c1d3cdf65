// Code deletion on procedure lists: marking the positions that a rule's
// "Procedure" conditions point at, blanking marked codes, and the deletion
// made for an unbundled HRG (its trigger code, the codes its rules name and
// the qualifier codes that follow). Deleted codes become empty strings, so
// every position keeps its meaning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/dynamic_bitset.hpp>

#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

using DeletionMarks = boost::dynamic_bitset<>;

class CodeDeleteLogic {
 public:
  // Binds to the lists "Approach" then "Site"; true when both exist.
  bool SetUp(const ReferenceData& data);

  // True when `code` is in "Approach" or "Site". Unlike the rule context's
  // test, the empty code is no qualifier here.
  bool IsQualifier(const std::string& code) const;

  // Adds to `marks` (sized to `procedures`) the positions that the
  // "Procedure" conditions of `rule` point at, for a trigger code at 0-based
  // `position`. In `wide` mode an in-list code takes the qualifier codes that
  // follow it along. Does nothing when not set up or `rule` is null.
  void MarkByRule(int32_t position, const Rule* rule,
                  const std::vector<std::string>& procedures,
                  DeletionMarks& marks, bool wide) const;

  // Blanks every marked code. With a `trace` that is on, each deletion is
  // traced as a "Delete" step naming the entry `by` that caused it.
  static void DeleteMarked(std::vector<std::string>& procedures,
                           const DeletionMarks& marks,
                           GroupingTrace* trace = nullptr,
                           const HrgEntry* by = nullptr);

  // The deletion for an unbundled HRG whose trigger code stands at
  // `position`: what the trigger's and the entry's rules mark (wide mode),
  // the code itself and the qualifier codes after it (passing over blanks).
  void DeleteTriggerCodes(int32_t position, const TriggerMatch& match,
                          std::vector<std::string>& procedures,
                          GroupingTrace* trace = nullptr) const;

 private:
  const CodeList* approach_ = nullptr;
  const CodeList* site_ = nullptr;
};

}  // namespace zorvel
