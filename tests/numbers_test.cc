// The text-to-number conversions: leading digits in the manner of atoi, the
// arithmetic value of an item, and the strict conversion of table numbers.
#include "common/numbers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

using Expected = std::vector<std::pair<std::string, std::optional<int32_t>>>;
constexpr std::nullopt_t kNone = std::nullopt;

TEST(Numbers, LeadingIntReadsSignAndDigitsAfterSpaceAndClamps) {
  const Expected cases = {
      {"0", 0}, {"42", 42}, {"007", 7}, {"-5", -5}, {"+5", 5}, {"-0", 0},
      {"  12", 12}, {"\t\n\v\f\r 3", 3}, {"12abc", 12}, {"3.9", 3}, {"1 2", 1},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MAX}, {"-2147483649", INT32_MIN},
      {"99999999999999999999999", INT32_MAX},
      {"", kNone}, {"   ", kNone}, {"abc", kNone}, {"-", kNone}, {"+", kNone},
      {"- 5", kNone}, {"+-5", kNone}, {".5", kNone}, {"x12", kNone}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseLeadingInt(text), expected) << '"' << text << '"';
    EXPECT_EQ(LeadingIntOrZero(text), expected.value_or(0)) << '"' << text << '"';
  }
  const std::string digits = "12345";
  EXPECT_EQ(ParseLeadingInt(std::string_view(digits.data(), 2)), 12);
  EXPECT_EQ(ParseLeadingInt(std::string_view(digits.data(), 0)), kNone);
}

TEST(Numbers, StrictIntAcceptsOnlySignAndDigitsThatFit) {
  const Expected cases = {
      {"0", 0}, {"12", 12}, {"-12", -12}, {"+12", 12}, {"0012", 12},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"2147483648", kNone}, {"-2147483649", kNone}, {"99999999999999999999", kNone},
      {"", kNone}, {" 5", kNone}, {"5 ", kNone}, {"12a", kNone}, {"3.0", kNone},
      {"-", kNone}, {"+", kNone}, {"--1", kNone}, {"1e3", kNone}};
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseStrictInt32(text), expected) << '"' << text << '"';
  }
}

TEST(Numbers, ToDecimalWritesSignedDecimalText) {
  EXPECT_EQ(ToDecimal(0) + " " + ToDecimal(-1) + " " + ToDecimal(4096) + " " +
                ToDecimal(INT64_MIN),
            "0 -1 4096 -9223372036854775808");
}

}  // namespace
}  // namespace zorvel
