// The trace of one record's grouping: the steps that chose its HRG, in the
// order they ran, for a request that asked for "Trace". Every component
// writes through the record's GroupingTrace; while the trace is off (the
// usual case) on() is false, callers skip the step, and nothing is stored
// or allocated.
//
// A step is a small fixed set of text members, each left empty when it does
// not apply; docs/trace.md lists them and the step names.
//
// The records of one request share a budget of steps, so that a huge
// request cannot make its trace grow without bound: once it is spent, steps
// are no longer kept and each record that lost some says its trace was cut.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel {

struct TraceStep {
  std::string component;  // the part of the grouper that ran the step
  std::string step;       // what it did: "Lookup", "Trigger", "Entry", ...
  std::string item;       // the data item read
  std::string index;      // the position read in the item, from 0
  std::string code;       // the code or value read
  std::string table;      // the trigger table and code type, or table name
  std::string line;       // the line of the table file consulted
  std::string list;       // the code list consulted
  std::string rule;       // the rule evaluated
  std::string hrg;        // the HRG the step offered or chose
  std::string result;     // what came of it
  std::string reason;     // why, for a step that failed or lost

  TraceStep& Item(std::string_view text) { return Assign(item, text); }
  TraceStep& Index(int64_t position);
  TraceStep& Code(std::string_view text) { return Assign(code, text); }
  TraceStep& Table(std::string_view text) { return Assign(table, text); }
  TraceStep& Line(uint32_t number);
  TraceStep& List(std::string_view text) { return Assign(list, text); }
  TraceStep& Rule(std::string_view text) { return Assign(rule, text); }
  TraceStep& Hrg(std::string_view text) { return Assign(hrg, text); }
  TraceStep& Result(std::string_view text) { return Assign(result, text); }
  TraceStep& Reason(std::string_view text) { return Assign(reason, text); }

 private:
  TraceStep& Assign(std::string& member, std::string_view text) {
    member.assign(text.data(), text.size());
    return *this;
  }
};

class GroupingTrace {
 public:
  // True when the request asked for a trace.
  bool on() const { return on_; }
  // Turns the trace on; `budget` (shared by the request's records, and
  // outliving them until the next Clear) counts down the steps still kept.
  void Start(uint32_t* budget) {
    on_ = true;
    budget_ = budget;
  }
  // True when steps were dropped because the budget was spent.
  bool cut() const { return cut_; }

  // Names the component whose steps follow. Costs a pointer store, so
  // components call it whether or not the trace is on.
  void Enter(const char* component) { component_ = component; }
  const char* component() const { return component_; }

  // Appends a step of the current component; only when on().
  TraceStep& Add(std::string_view step);

  // Shorthands for the commonest steps, which do nothing when off: "Set"
  // (a derived single item and its value) and "Add" (a value appended to a
  // list item).
  void Set(std::string_view item, std::string_view value) {
    if (on_) Add("Set").Item(item).Result(value);
  }
  // "Set" for a value that may be absent (null): nothing is then traced.
  void Set(std::string_view item, const std::string* value) {
    if (on_ && value != nullptr) Set(item, *value);
  }
  void Append(std::string_view item, std::string_view value) {
    if (on_) Add("Add").Item(item).Result(value);
  }

  // The step the last Add returned (kept or dropped); only after an Add.
  TraceStep& last() {
    return last_ < steps_.size() ? steps_[last_] : dropped_.front();
  }

  const std::vector<TraceStep>& steps() const { return steps_; }

  // Off, with no steps.
  void Clear();

 private:
  bool on_ = false;
  bool cut_ = false;
  uint32_t* budget_ = nullptr;
  const char* component_ = "";
  std::vector<TraceStep> steps_;
  // Takes the steps added once the budget is spent: one step, made only
  // then, so that a trace that never runs out moves as cheaply as a vector.
  std::vector<TraceStep> dropped_;
  // The index of the step Add returned last; past the steps when dropped.
  size_t last_ = 0;
};

}  // namespace zorvel
