// Field checks of an episode against the validation lists.
#include "refdata/episode_validator.h"

#include <utility>

namespace zorvel {
namespace {

constexpr const char* kBlankFlag = "E";
constexpr const char* kInvalidFlag = "F";

const std::string& ErrorFieldOf(const FieldCheck& check) {
  return check.error_field.empty() ? check.item : check.error_field;
}

// Checks one single value. A blank required value is created empty so that
// later steps find it; the flag item keeps an earlier value if it has one.
bool ValidateSingle(const FieldCheck& check, Record& record) {
  std::string* value = record.FindSingle(check.key());
  if (value == nullptr || value->empty()) {
    if (check.optional) return true;
    if (value == nullptr) record.Single(check.key());
    record.AddError(GroupingError::WithValue(ErrorFieldOf(check), "", kIsBlank));
    if (!check.flag_item.empty()) record.Insert(check.flag_item, kBlankFlag);
    return false;
  }
  if (check.valid_set->Contains(*value)) return true;
  record.AddError(
      GroupingError::WithValue(ErrorFieldOf(check), *value, kIsInvalid));
  if (!check.replacement.empty()) *value = check.replacement;
  if (!check.flag_item.empty()) record.Insert(check.flag_item, kInvalidFlag);
  return false;
}

// Checks every element of an array item; each invalid element is reported at
// its own 0-based position. A present but empty sequence passes.
bool ValidateArray(const FieldCheck& check, Record& record) {
  std::vector<std::string>* codes = record.FindList(check.key());
  if (codes == nullptr) {
    if (check.optional) return true;
    record.List(check.key());
    record.AddError(GroupingError::WithPosition(check.item, "", 0, kIsBlank));
    return false;
  }
  bool passed = true;
  for (size_t i = 0; i < codes->size(); ++i) {
    std::string& code = (*codes)[i];
    if (check.optional && code.empty()) continue;
    if (check.valid_set->Contains(code)) continue;
    passed = false;
    record.AddError(GroupingError::WithPosition(
        check.item, code, static_cast<int32_t>(i), kIsInvalid));
    if (!check.replacement.empty()) code = check.replacement;
  }
  return passed;
}

}  // namespace

bool EpisodeValidator::AddCheck(const std::string& list_name, bool optional,
                                const std::string& item,
                                const std::string& replacement,
                                const std::string& error_field,
                                const std::string& flag_item) {
  auto it = lists_->find(list_name);
  if (it == lists_->end()) return false;
  FieldCheck check;
  check.item = item;
  check.item_hash = HashItemName(item);
  check.valid_set = &it->second;
  check.optional = optional;
  check.kind = KindOf(item);
  check.replacement = replacement;
  check.error_field = error_field;
  check.flag_item = flag_item;
  checks_.push_back(std::move(check));
  return true;
}

bool EpisodeValidator::Validate(Record& record) const {
  bool passed = true;
  for (const FieldCheck& check : checks_) {
    if (check.valid_set == nullptr) continue;
    switch (check.kind) {
      case kSingle:
        passed = ValidateSingle(check, record) && passed;
        break;
      case kArray:
        passed = ValidateArray(check, record) && passed;
        break;
      default:
        break;  // not a data item: the check does nothing
    }
  }
  return passed;
}

}  // namespace zorvel
