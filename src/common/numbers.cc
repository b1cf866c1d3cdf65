// Conversions of item texts to numbers.
#include "common/numbers.h"

#include <limits>

namespace zorvel {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

// Reads an optional sign and at least one digit from `text` starting at
// `pos`. Stops at the first non-digit; will not read past the end.
std::optional<int64_t> ReadSignedDigits(std::string_view text, size_t pos,
                                        size_t* end) {
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos >= text.size() || !IsDigit(text[pos])) return std::nullopt;
  int64_t value = 0;
  constexpr int64_t kCap = int64_t{1} << 40;  // far beyond 32 bits, no overflow
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    if (value < kCap) value = value * 10 + (text[pos] - '0');
  }
  *end = pos;
  return negative ? -value : value;
}

}  // namespace

std::optional<int32_t> ParseLeadingInt(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  size_t end = 0;
  std::optional<int64_t> value = ReadSignedDigits(text, pos, &end);
  if (!value) return std::nullopt;
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  if (*value < kMin) return static_cast<int32_t>(kMin);
  if (*value > kMax) return static_cast<int32_t>(kMax);
  return static_cast<int32_t>(*value);
}

int32_t LeadingIntOrZero(std::string_view text) {
  return ParseLeadingInt(text).value_or(0);
}

std::optional<int32_t> ParseStrictInt32(std::string_view text) {
  size_t end = 0;
  std::optional<int64_t> value = ReadSignedDigits(text, 0, &end);
  if (!value || end != text.size()) return std::nullopt;
  if (*value < std::numeric_limits<int32_t>::min() ||
      *value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(*value);
}

std::string ToDecimal(int64_t value) { return std::to_string(value); }

}  // namespace zorvel
