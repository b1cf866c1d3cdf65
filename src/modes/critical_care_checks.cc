// Date checks, upper-casing and the dominant activity code of the critical
// care modes.
#include "modes/critical_care_checks.h"

#include "common/dates.h"

namespace zorvel {
namespace critical_care {

bool CheckDate(Record& record, std::string_view name) {
  const std::string* value = record.FindSingle(name);
  if (value == nullptr || value->empty()) {
    record.AddError(GroupingError::WithValue(std::string(name), "", kIsBlank));
    return false;
  }
  if (!IsValidDate(*value)) {
    record.AddError(
        GroupingError::WithValue(std::string(name), *value, kIsInvalid));
    return false;
  }
  return true;
}

bool SameText(const Record& record, std::string_view a, std::string_view b) {
  const std::string* va = record.FindSingle(a);
  const std::string* vb = record.FindSingle(b);
  std::string_view ta = va ? std::string_view(*va) : std::string_view();
  std::string_view tb = vb ? std::string_view(*vb) : std::string_view();
  return ta == tb;
}

bool HasValue(const Record& record, std::string_view name,
              std::string_view value) {
  const std::string* v = record.FindSingle(name);
  return v != nullptr && *v == value;
}

int DominantPosition(const std::vector<std::string>& codes,
                     const CodeList& hierarchy, int floor) {
  int best = floor;
  int position = -1;
  for (size_t i = 0; i < codes.size(); ++i) {
    const int32_t* rank = hierarchy.Find(codes[i]);
    if (rank != nullptr && *rank > best) {  // ties keep the earlier code
      best = *rank;
      position = static_cast<int>(i);
    }
  }
  return position;
}

}  // namespace critical_care
}  // namespace zorvel
