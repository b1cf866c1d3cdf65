// Loading and look-ups of the reference data set.
#include "refdata/reference_data.h"

#include "refdata/table_loaders.h"

namespace zorvel {
namespace {

template <typename Map>
const typename Map::mapped_type* FindIn(const Map& map, const std::string& key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

ReferenceData::ReferenceData() {
  validation_lists_.max_load_factor(1.0f);
  lists_.max_load_factor(1.0f);
  rules_.max_load_factor(1.0f);
  trigger_tables_.max_load_factor(1.0f);
  code_texts_.max_load_factor(1.0f);
}

LoadStatus ReferenceData::LoadAll(const std::string& location) {
  // Everything is cleared first: a load abandoned part-way must not leave
  // later tables pointing at rules or lists of an earlier load.
  Clear();
  LoadStatus status = LoadStatus::kOk;
  for (int index = 0; index < 6; ++index) {
    TableReport report = LoadTable(index, location + kTableFileNames[index],
                                   this, FaultMode::kStop);
    if (!report.faults.empty()) {
      load_error_ = report.faults.front().message;
      return LoadStatus::kBrokenReference;
    }
    if (!report.opened) {
      status = LoadStatus::kMissingFile;
    } else if (status == LoadStatus::kOk &&
               (report.stop_line != 0 || report.damage)) {
      // The reader takes any bytes and stops quietly; tables that are cut
      // short, padded wrongly or of another kind would group with rows
      // missing, so the load counts as failed.
      status = LoadStatus::kDamagedFile;
    }
  }
  return status;
}

const ValidationSet* ReferenceData::FindValidationList(
    const std::string& name) const {
  return FindIn(validation_lists_, name);
}

const CodeList* ReferenceData::FindList(const std::string& name) const {
  return FindIn(lists_, name);
}

const Rule* ReferenceData::FindRule(const std::string& name) const {
  return FindIn(rules_, name);
}

const CodeMap* ReferenceData::FindCodeMap(const std::string& table,
                                          const std::string& code_type) const {
  const CodeTypeMap* types = FindIn(trigger_tables_, table);
  return types == nullptr ? nullptr : FindIn(*types, code_type);
}

const std::vector<HrgEntry>* ReferenceData::FindCombination(
    const std::string& name) const {
  return combinations_.Find(name);
}

void ReferenceData::Clear() {
  validation_lists_.clear();
  lists_.clear();
  rules_.clear();
  trigger_tables_.clear();
  combinations_.clear();
  code_texts_.clear();
  load_error_.clear();
}

}  // namespace zorvel
