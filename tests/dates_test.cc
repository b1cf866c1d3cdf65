// Tests of CCYYMMDD dates: validity (Gregorian leap years, month lengths,
// year bounds, malformed texts) and day differences by Julian day numbers.
#include "common/dates.h"

#include <gtest/gtest.h>

namespace zorvel {
namespace {

struct ValidityCase {
  const char* text;
  bool valid;
};

class IsValidDateTest : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(IsValidDateTest, AcceptsOnlyRealDatesWithinTheYearBounds) {
  EXPECT_EQ(IsValidDate(GetParam().text), GetParam().valid)
      << "date \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Dates, IsValidDateTest,
    ::testing::Values(
        // Leap years: every fourth, not centuries unless every fourth century.
        ValidityCase{"20200229", true}, ValidityCase{"20190229", false},
        ValidityCase{"20000229", true}, ValidityCase{"19000229", false},
        ValidityCase{"19000228", true}, ValidityCase{"20200230", false},
        // The 31st exists only in long months.
        ValidityCase{"20190131", true}, ValidityCase{"20190331", true},
        ValidityCase{"20190431", false}, ValidityCase{"20190631", false},
        ValidityCase{"20190931", false}, ValidityCase{"20191131", false},
        ValidityCase{"20190231", false}, ValidityCase{"20191231", true},
        ValidityCase{"20190430", true},
        // Month and day bounds.
        ValidityCase{"20190001", false}, ValidityCase{"20191301", false},
        ValidityCase{"20190100", false}, ValidityCase{"20190132", false},
        // Year bounds.
        ValidityCase{"15821231", false}, ValidityCase{"15830101", true},
        ValidityCase{"49991231", true}, ValidityCase{"50000101", false},
        // Malformed texts.
        ValidityCase{"2019031", false}, ValidityCase{"201903011", false},
        ValidityCase{"", false}, ValidityCase{"2019AB01", false},
        ValidityCase{"2019-3-1", false}, ValidityCase{"2019 301", false}));

struct DifferenceCase {
  const char* start;
  const char* end;
  int expected;
};

class DayDifferenceTest : public ::testing::TestWithParam<DifferenceCase> {};

TEST_P(DayDifferenceTest, CountsDaysFromStartToEnd) {
  const DifferenceCase& c = GetParam();
  EXPECT_EQ(DayDifference(c.start, c.end), c.expected)
      << c.start << " -> " << c.end;
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DayDifferenceTest,
    ::testing::Values(
        DifferenceCase{"20190301", "20190305", 4},
        DifferenceCase{"20190301", "20190301", 0},
        DifferenceCase{"20190305", "20190301", -4},
        DifferenceCase{"20190131", "20190201", 1},    // month boundary
        DifferenceCase{"20191231", "20200101", 1},    // year boundary
        DifferenceCase{"20190228", "20190301", 1},    // no 29 February
        DifferenceCase{"20200228", "20200301", 2},    // leap day
        DifferenceCase{"19000228", "19000301", 1},    // century, not leap
        DifferenceCase{"20000228", "20000301", 2},    // fourth century, leap
        DifferenceCase{"20190101", "20200101", 365},
        DifferenceCase{"20200101", "20210101", 366},
        DifferenceCase{"15830101", "49991231", 1248033},
        // Texts that are not eight characters or hold non-digits: 0.
        DifferenceCase{"2019031", "20190305", 0},
        DifferenceCase{"20190301", "201903051", 0},
        DifferenceCase{"2019AB01", "20190305", 0},
        DifferenceCase{"20190301", "", 0},
        // Well-formed texts that are not valid dates: -1.
        DifferenceCase{"20190229", "20190305", -1},
        DifferenceCase{"20190301", "20191301", -1},
        DifferenceCase{"15821231", "20190101", -1},
        // A malformed text wins over an invalid one.
        DifferenceCase{"20190229", "2019030", 0}));

}  // namespace
}  // namespace zorvel
