// Tests of the text-to-number conversions: leading digits in the manner of
// atoi, the arithmetic value of an item, and the strict table conversion.
#include "common/numbers.h"

#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

struct LeadingCase {
  const char* text;
  std::optional<int32_t> expected;
};

class ParseLeadingIntTest : public ::testing::TestWithParam<LeadingCase> {};

TEST_P(ParseLeadingIntTest, ReadsTheLeadingDecimalInteger) {
  EXPECT_EQ(ParseLeadingInt(GetParam().text), GetParam().expected)
      << "text \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseLeadingIntTest,
    ::testing::Values(
        LeadingCase{"0", 0}, LeadingCase{"42", 42}, LeadingCase{"007", 7},
        LeadingCase{"-5", -5}, LeadingCase{"+5", 5},
        LeadingCase{"  12", 12}, LeadingCase{"\t\n\v\f\r 3", 3},
        LeadingCase{"12abc", 12}, LeadingCase{"3.9", 3},
        LeadingCase{"1 2", 1}, LeadingCase{"-0", 0},
        LeadingCase{"2147483647", 2147483647},
        LeadingCase{"-2147483648", INT32_MIN},
        LeadingCase{"2147483648", 2147483647},    // clamped
        LeadingCase{"-2147483649", INT32_MIN},    // clamped
        LeadingCase{"99999999999999999999999", 2147483647},
        LeadingCase{"", std::nullopt}, LeadingCase{"   ", std::nullopt},
        LeadingCase{"abc", std::nullopt}, LeadingCase{"-", std::nullopt},
        LeadingCase{"+", std::nullopt}, LeadingCase{"- 5", std::nullopt},
        LeadingCase{"+-5", std::nullopt}, LeadingCase{".5", std::nullopt},
        LeadingCase{"x12", std::nullopt}));

TEST(LeadingIntOrZeroTest, NonNumbersCountZero) {
  EXPECT_EQ(LeadingIntOrZero(""), 0);
  EXPECT_EQ(LeadingIntOrZero("UNK"), 0);
  EXPECT_EQ(LeadingIntOrZero("-"), 0);
  EXPECT_EQ(LeadingIntOrZero(" 17 days"), 17);
  EXPECT_EQ(LeadingIntOrZero("-3"), -3);
}

TEST(LeadingIntTest, ReadsNoFurtherThanTheView) {
  const std::string text = "12345";
  EXPECT_EQ(ParseLeadingInt(std::string_view(text.data(), 2)), 12);
  EXPECT_EQ(ParseLeadingInt(std::string_view(text.data(), 0)), std::nullopt);
}

struct StrictCase {
  const char* text;
  std::optional<int32_t> expected;
};

class ParseStrictInt32Test : public ::testing::TestWithParam<StrictCase> {};

TEST_P(ParseStrictInt32Test, AcceptsOnlySignAndDigits) {
  EXPECT_EQ(ParseStrictInt32(GetParam().text), GetParam().expected)
      << "text \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseStrictInt32Test,
    ::testing::Values(
        StrictCase{"0", 0}, StrictCase{"12", 12}, StrictCase{"-12", -12},
        StrictCase{"+12", 12}, StrictCase{"0012", 12},
        StrictCase{"2147483647", 2147483647},
        StrictCase{"-2147483648", INT32_MIN},
        StrictCase{"2147483648", std::nullopt},
        StrictCase{"-2147483649", std::nullopt},
        StrictCase{"99999999999999999999", std::nullopt},
        StrictCase{"", std::nullopt}, StrictCase{" 5", std::nullopt},
        StrictCase{"5 ", std::nullopt}, StrictCase{"12a", std::nullopt},
        StrictCase{"3.0", std::nullopt}, StrictCase{"-", std::nullopt},
        StrictCase{"+", std::nullopt}, StrictCase{"--1", std::nullopt},
        StrictCase{"1e3", std::nullopt}));

TEST(ToDecimalTest, WritesSignedDecimalText) {
  EXPECT_EQ(ToDecimal(0), "0");
  EXPECT_EQ(ToDecimal(-1), "-1");
  EXPECT_EQ(ToDecimal(4096), "4096");
  EXPECT_EQ(ToDecimal(INT64_MIN), "-9223372036854775808");
}

}  // namespace
}  // namespace zorvel
