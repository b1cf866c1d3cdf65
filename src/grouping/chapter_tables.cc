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

void TraceDominant(Record& record, std::string_view item,
                   const std::vector<std::string>& codes, int32_t position,
                   const CodeList& hierarchy) {
  if (!record.trace.on()) return;
  TraceStep& step = record.trace.Add("Dominant").Item(item).List(hierarchy.name());
  if (position == kNoPosition) {
    step.Result("none ranked");
    return;
  }
  const int32_t* value = hierarchy.Find(codes[position]);
  step.Index(position).Code(codes[position]).Result(
      "rank " + std::to_string(value != nullptr ? *value : -1));
}

const CodeMap* DefaultCodes(const ReferenceData& data, const std::string& table) {
  const CodeMap* codes = data.FindCodeMap(table, "Default");
  if (codes == nullptr || !codes->Contains(kDefaultCode)) return nullptr;
  return codes;
}

}  // namespace zorvel
