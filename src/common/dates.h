// Dates of the critical care modes: eight-character texts CCYYMMDD.
#pragma once

#include <string_view>

namespace zorvel {

// True when `text` is eight characters of year, month and day forming a
// valid Gregorian date with 1583 <= year <= 4999.
bool IsValidDate(std::string_view text);

// Days from `start` to `end` (end minus start) by Julian day numbers.
// Returns 0 when either text is not eight characters long or a part of it is
// not a number, and -1 when either is not a valid date.
int DayDifference(std::string_view start, std::string_view end);

}  // namespace zorvel
