// Loading and look-ups of the reference data set.
#include "refdata/reference_data.h"

#include <sys/stat.h>

#include <algorithm>

#include "refdata/table_loaders.h"

namespace zorvel {
namespace {

template <typename Map>
const typename Map::mapped_type* FindIn(const Map& map, const std::string& key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

ReferenceData::ReferenceData()
    : arena_(std::make_unique<TableArena>()),
      validation_lists_(MakeNameMap<ValidationLists>(arena_.get())),
      lists_(MakeNameMap<CodeLists>(arena_.get())),
      rules_(MakeNameMap<RuleMap>(arena_.get())),
      trigger_tables_(MakeNameMap<TriggerTables>(arena_.get())),
      combinations_(arena_.get()),
      code_texts_(MakeNameMap<CodeTexts>(arena_.get())),
      entry_texts_(arena_.get()) {
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
  // One buffer, made once as large as the largest file, holds each table
  // in turn: every fresh buffer costs a page fault per page it fills.
  TableReader reader;
  size_t largest = 0;
  for (const char* name : kTableFileNames) {
    struct stat status;
    if (stat((location + name).c_str(), &status) == 0 && S_ISREG(status.st_mode))
      largest = std::max(largest, static_cast<size_t>(status.st_size));
  }
  reader.Reserve(largest);
  LoadStatus status = LoadStatus::kOk;
  for (int index = 0; index < 6; ++index) {
    TableReport report = LoadTable(index, location + kTableFileNames[index],
                                   this, FaultMode::kStop, &reader);
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
  // The tables trade places with the empty ones of a fresh set, arenas
  // included; the old tables are destroyed with it, before their arena.
  ReferenceData fresh;
  std::swap(arena_, fresh.arena_);
  validation_lists_.swap(fresh.validation_lists_);
  lists_.swap(fresh.lists_);
  rules_.swap(fresh.rules_);
  trigger_tables_.swap(fresh.trigger_tables_);
  std::swap(combinations_, fresh.combinations_);
  code_texts_.swap(fresh.code_texts_);
  std::swap(entry_texts_, fresh.entry_texts_);
  load_error_.clear();
}

}  // namespace zorvel
