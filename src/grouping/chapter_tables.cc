// Shared look-ups of the chapter components.
#include "grouping/chapter_tables.h"

namespace zorvel {

int32_t DominantPosition(const std::vector<std::string>& codes, const CodeList& hierarchy) {
  int32_t best_value = -1;
  int32_t best_position = kNoPosition;
  for (size_t i = 0; i < codes.size(); ++i) {
    if (codes[i].empty()) continue;
    const int32_t* value = hierarchy.Find(codes[i]);
    if (value == nullptr || *value <= best_value) continue;
    best_value = *value;
    best_position = static_cast<int32_t>(i);
  }
  return best_position;
}

const TriggerList* DefaultTriggers(const ReferenceData& data, const std::string& table) {
  const CodeMap* codes = data.FindCodeMap(table, "Default");
  if (codes == nullptr) return nullptr;
  const auto triggers = codes->find("0");
  return triggers == codes->end() ? nullptr : &triggers->second;
}

}  // namespace zorvel
