// Accessors of Record and the reuse of a spell's records.
#include "common/record.h"

#include <utility>

#include "protocol/error_catalogue.h"

namespace zorvel {
namespace {

// Spare episode records kept for the next request: more than the most
// episodes a mode takes, so only an unusual request gives some up.
constexpr size_t kKeptEpisodes = 256;

}  // namespace

void Record::TraceError(const GroupingError& error) {
  const bool free_message = error.message == kFreeMessage;
  TraceStep& step = trace.Add("Error").Item(error.field);
  if (!free_message) step.Code(error.text);
  if (!error.index.empty()) step.index = error.index;
  step.Result("error").Reason(free_message ? std::string_view(error.text)
                                           : MessageText(error.message));
}

void Record::Clear() {
  success = false;
  errors.clear();
  trace.Clear();
  singles_.Clear();
  lists_.Clear();
}

SingleValues Record::SortedSingles() const {
  SingleValues values;
  for (size_t i = 0; i < singles_.size(); ++i) {
    values.emplace(singles_.name(i), singles_.value(i));
  }
  return values;
}

ListValues Record::SortedLists() const {
  ListValues values;
  for (size_t i = 0; i < lists_.size(); ++i) {
    values.emplace(lists_.name(i), lists_.value(i));
  }
  return values;
}

void UpperCaseList(Record& record, std::string_view name) {
  for (std::string& code : record.List(name)) {
    for (char& c : code) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
  }
}

Record& EpisodeList::emplace_back() {
  if (size_ == records_.size()) records_.emplace_back();
  return records_[size_++];
}

void EpisodeList::resize(size_t size) {
  while (size_ < size) emplace_back();
  while (size_ > size) records_[--size_].Clear();
}

void EpisodeList::clear() {
  for (size_t i = 0; i < size_; ++i) records_[i].Clear();
  if (records_.size() > kKeptEpisodes) {
    records_.erase(records_.begin() + kKeptEpisodes, records_.end());
  }
  size_ = 0;
}

void Spell::Clear() {
  Record::Clear();
  output = this;
  procedure_origins.clear();
  episodes.clear();
}

}  // namespace zorvel
