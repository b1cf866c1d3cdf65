// The fixed table of error message texts and the names of the error sections.
// Error entries carry a message number into the table; the response writer
// turns the number back into its text.
#pragma once

#include <cstdint>
#include <string_view>

namespace zorvel {

// The text of message number `number`: empty for 0 and for the free message
// 1 (whose entry carries its own text), and empty for any number outside the
// table.
std::string_view MessageText(int32_t number);

// The name of error section `section`: "episode" for 0, "spell" for 1, empty
// for any other number.
std::string_view SectionName(int32_t section);

}  // namespace zorvel
