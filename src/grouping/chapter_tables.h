// Look-ups that several chapter components share: the dominant code of a
// list by a hierarchy (and its trace), and the default codes of a chapter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/record.h"
#include "refdata/reference_data.h"

namespace zorvel {

// No position: no code of the list won.
inline constexpr int32_t kNoPosition = -1;

// The 0-based position of the dominant code of `codes`: the highest value in
// `hierarchy`, the earliest on ties. Codes outside the hierarchy, and blanks
// left by code deletion, never win; nor does a code listed without a value
// (-1). kNoPosition when no code wins.
int32_t DominantPosition(const std::vector<std::string>& codes, const CodeList& hierarchy);

// For a traced record, a "Dominant" step: the code at `position` of `item`
// won by its value in `hierarchy` (or none won).
void TraceDominant(Record& record, std::string_view item,
                   const std::vector<std::string>& codes, int32_t position,
                   const CodeList& hierarchy);

// The code of the one trigger list of a chapter whose rules decide by
// themselves whether it applies.
inline constexpr char kDefaultCode[] = "0";

// The codes of such a chapter: code type "Default", which holds the list
// under kDefaultCode. Null when the chapter lacks it.
const CodeMap* DefaultCodes(const ReferenceData& data, const std::string& table);

}  // namespace zorvel
