// Validity and day differences of CCYYMMDD dates.
#include "common/dates.h"

namespace zorvel {
namespace {

struct DateParts {
  int year = 0;
  int month = 0;
  int day = 0;
};

// Reads `count` characters from `text` at `pos` as a decimal number. Every
// character must be a digit.
bool ReadPart(std::string_view text, size_t pos, size_t count, int* out) {
  int value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  *out = value;
  return true;
}

// Splits an eight-character date into its parts; false when the text is not
// eight characters long or a part is not a number.
bool SplitDate(std::string_view text, DateParts* parts) {
  if (text.size() != 8) return false;
  return ReadPart(text, 0, 4, &parts->year) &&
         ReadPart(text, 4, 2, &parts->month) &&
         ReadPart(text, 6, 2, &parts->day);
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsValidParts(const DateParts& d) {
  if (d.year < 1583 || d.year > 4999) return false;
  if (d.month < 1 || d.month > 12) return false;
  if (d.day < 1 || d.day > 31) return false;
  if (d.day == 31 &&
      (d.month == 2 || d.month == 4 || d.month == 6 || d.month == 9 ||
       d.month == 11)) {
    return false;
  }
  if (d.month == 2 && d.day > 29) return false;
  if (d.month == 2 && d.day == 29 && !IsLeapYear(d.year)) return false;
  return true;
}

long JulianDayNumber(const DateParts& d) {
  const long a = (14 - d.month) / 12;
  const long y = d.year + 4800 - a;
  const long m = d.month + 12 * a - 3;
  return d.day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 -
         32045;
}

}  // namespace

bool IsValidDate(std::string_view text) {
  DateParts parts;
  return SplitDate(text, &parts) && IsValidParts(parts);
}

int DayDifference(std::string_view start, std::string_view end) {
  DateParts from;
  DateParts to;
  if (!SplitDate(start, &from) || !SplitDate(end, &to)) return 0;
  if (!IsValidParts(from) || !IsValidParts(to)) return -1;
  return static_cast<int>(JulianDayNumber(to) - JulianDayNumber(from));
}

}  // namespace zorvel
