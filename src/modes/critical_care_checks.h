// Checks and small edits shared by the paediatric and neonatal critical care
// modes: the day's dates, in-place upper-casing of code lists and the
// dominant activity code of a day.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/record.h"
#include "refdata/code_list.h"

namespace zorvel {
namespace critical_care {

// Checks the date item `name` of `record` (CCYYMMDD). A missing or empty
// value adds an "is blank" error with an empty value; a value that is not a
// valid date adds an "is invalid" error with the value. Returns true when the
// date is good. Never creates the item.
bool CheckDate(Record& record, std::string_view name);

// True when the single values `a` and `b` are equal, a missing item counting
// as the empty text. Creates nothing.
bool SameText(const Record& record, std::string_view a, std::string_view b);

// True when the single value `name` exists and equals `value`.
bool HasValue(const Record& record, std::string_view name,
              std::string_view value);

// The position of the dominant code of `codes`: the first code whose rank in
// `hierarchy` is above every earlier rank and above `floor`. -1 when no code
// ranks above `floor`.
int DominantPosition(const std::vector<std::string>& codes,
                     const CodeList& hierarchy, int floor);

}  // namespace critical_care
}  // namespace zorvel
