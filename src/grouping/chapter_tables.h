// Look-ups that several chapter components share: the dominant code of a
// list by a hierarchy, and the default trigger list of a chapter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "refdata/reference_data.h"

namespace zorvel {

// No position: no code of the list won.
inline constexpr int32_t kNoPosition = -1;

// The 0-based position of the dominant code of `codes`: the highest value in
// `hierarchy`, the earliest on ties. Codes outside the hierarchy, and blanks
// left by code deletion, never win; nor does a code listed without a value
// (-1). kNoPosition when no code wins.
int32_t DominantPosition(const std::vector<std::string>& codes, const CodeList& hierarchy);

// The trigger list of a chapter whose rules decide by themselves whether it
// applies: the one list filed under code type "Default", code "0". Null when
// the chapter lacks it.
const TriggerList* DefaultTriggers(const ReferenceData& data, const std::string& table);

}  // namespace zorvel
