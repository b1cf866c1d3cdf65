// Conversions of item texts to numbers. Items are text; each conversion rule
// of the grouping has exactly one helper here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvel {

// The leading decimal integer of `text`, in the manner of atoi: optional
// leading white space, an optional sign, then digits; anything after the
// digits is ignored. Returns nothing when no digit follows; values beyond the
// 32-bit range are clamped to it.
std::optional<int32_t> ParseLeadingInt(std::string_view text);

// Arithmetic value of an item: its leading integer, 0 for empty or
// non-numeric text.
int32_t LeadingIntOrZero(std::string_view text);

// Strict decimal conversion for table fields: an optional sign followed by
// digits and nothing else (no spaces), within the signed 32-bit range.
// Returns nothing when the text does not have that form.
std::optional<int32_t> ParseStrictInt32(std::string_view text);

// Decimal text of `value`.
std::string ToDecimal(int64_t value);

}  // namespace zorvel
