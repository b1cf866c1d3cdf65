// Steps of a grouping trace.
#include "common/grouping_trace.h"

namespace zorvel {

TraceStep& TraceStep::Index(int64_t position) {
  index = std::to_string(position);
  return *this;
}

TraceStep& TraceStep::Line(uint32_t number) {
  // Entries made in memory (by tests) have no line.
  if (number != 0) line = std::to_string(number);
  return *this;
}

TraceStep& GroupingTrace::Add(std::string_view step) {
  if (budget_ != nullptr && *budget_ == 0) {
    cut_ = true;
    dropped_.assign(1, TraceStep());
    last_ = steps_.size();
    return dropped_.front();
  }
  if (budget_ != nullptr) --*budget_;
  last_ = steps_.size();
  TraceStep& added = steps_.emplace_back();
  added.component = component_;
  added.step.assign(step.data(), step.size());
  return added;
}

void GroupingTrace::Clear() {
  on_ = false;
  cut_ = false;
  budget_ = nullptr;
  component_ = "";
  steps_.clear();
}

}  // namespace zorvel
