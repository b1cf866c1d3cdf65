// CCYYMMDD dates: validity (Gregorian leap years, month lengths, year
// bounds, malformed texts) and day differences.
#include "common/dates.h"

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

TEST(Dates, OnlyRealDatesWithinTheYearBoundsAreValid) {
  // Leap years are every fourth, not centuries unless every fourth century;
  // the 31st exists only in long months; years run from 1583 to 4999.
  const std::vector<std::string> valid = {
      "20200229", "20000229", "19000228", "20190131", "20190331", "20191231",
      "20190430", "15830101", "49991231"};
  const std::vector<std::string> invalid = {
      "20190229", "19000229", "20200230", "20190431", "20190631", "20190931",
      "20191131", "20190231", "20190001", "20191301", "20190100", "20190132",
      "15821231", "50000101", "2019031", "201903011", "", "2019AB01",
      "2019-3-1", "2019 301"};
  for (const auto& text : valid) EXPECT_TRUE(IsValidDate(text)) << text;
  for (const auto& text : invalid) EXPECT_FALSE(IsValidDate(text)) << text;
}

TEST(Dates, DayDifferenceCountsFromStartToEnd) {
  const std::vector<std::tuple<std::string, std::string, int>> cases = {
      {"20190301", "20190305", 4}, {"20190301", "20190301", 0},
      {"20190305", "20190301", -4}, {"20190131", "20190201", 1},
      {"20191231", "20200101", 1}, {"20190228", "20190301", 1},
      {"20200228", "20200301", 2}, {"19000228", "19000301", 1},
      {"20000228", "20000301", 2}, {"20190101", "20200101", 365},
      {"20200101", "20210101", 366}, {"15830101", "49991231", 1248033},
      // Texts that are not eight digits give 0, even beside an invalid date;
      // well-formed texts that are not valid dates give -1.
      {"2019031", "20190305", 0}, {"20190301", "201903051", 0},
      {"2019AB01", "20190305", 0}, {"20190301", "", 0}, {"20190229", "2019030", 0},
      {"20190229", "20190305", -1}, {"20190301", "20191301", -1},
      {"15821231", "20190101", -1}};
  for (const auto& [start, end, expected] : cases) {
    EXPECT_EQ(DayDifference(start, end), expected) << start << " -> " << end;
  }
}

}  // namespace
}  // namespace zorvel
