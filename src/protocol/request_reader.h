// Reads a grouping request document into a spell record with its episodes.
//
// A request is a JSON object with the mode code under "Group", the spell's
// fields under "Spell" (its episode objects under a member whose name begins
// with "Episodes"), and optionally "MaxErrors", "ExtraSpellItems",
// "ExtraEpisodeItems" and "Trace" (the value true asks for the steps of the
// grouping; any other value is as its absence). Parsing is strict (one root value, no comments, no
// trailing content) and iterative, so deeply nested input cannot exhaust
// the stack.
//
// The text is read with RapidJSON's SAX reader straight into the records,
// in place over a copy the request keeps; no document tree is built. A GroupingRequest is meant to be kept and
// reused: each Read starts a new request but keeps the records, the
// reader's stack and the string capacity of the one before, so that a
// request of a shape seen before allocates nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <rapidjson/reader.h>

#include "common/record.h"

namespace zorvel {

// How "MaxErrors" was found. The value has no effect on grouping, but a
// string that does not begin with a decimal integer cannot be read.
enum class MaxErrorsStatus {
  kAbsent,      // no "MaxErrors" member, or one of another type
  kRead,        // an integer, or a string beginning with one
  kUnreadable,  // a string without a leading integer in the 32-bit range
};

namespace request_internal {

// One object or array the reader is inside.
enum class FrameKind {
  kRoot,      // the root object
  kSpell,     // the "Spell" object
  kEpisodes,  // an episode array of the spell
  kRecord,    // an episode object
  kList,      // an array read into a list value
  kNames,     // an "ExtraSpellItems" or "ExtraEpisodeItems" array
  kSkipped,   // a value the request does not use
};

struct Frame {
  FrameKind kind;
  Record* record;                   // kSpell, kRecord
  std::vector<std::string>* list;   // kList, kNames
};

}  // namespace request_internal

class RequestHandler;

// The most steps the trace of one request keeps.
inline constexpr uint32_t kTraceSteps = 20000;

class GroupingRequest {
 public:
  GroupingRequest() = default;
  GroupingRequest(const GroupingRequest&) = delete;
  GroupingRequest& operator=(const GroupingRequest&) = delete;

  // Parses NUL-terminated `text` and reads it into this request. Returns
  // false when the text is not JSON, or not a request of the expected shape:
  // the root is not an object, "Group" is missing or not a string, "Spell"
  // is missing or not an object, an "Episodes" member is not an array, or an
  // episode is not an object. Where a member name occurs more than once in
  // the root object, the first one counts. Everything read by an earlier
  // call is forgotten first.
  bool Read(const char* text);

  // The mode code named by "Group".
  const std::string& group() const { return group_; }
  MaxErrorsStatus max_errors_status() const { return max_errors_status_; }
  // True when "Trace" was true; the spell and its episodes then trace.
  bool trace() const { return trace_; }
  // The spell with its episodes, as read.
  Spell& spell() { return spell_; }
  const Spell& spell() const { return spell_; }
  // The string elements of "ExtraSpellItems" / "ExtraEpisodeItems", in
  // order; empty when the member is absent or not an array.
  const std::vector<std::string>& extra_spell_items() const {
    return extra_spell_items_;
  }
  const std::vector<std::string>& extra_episode_items() const {
    return extra_episode_items_;
  }

 private:
  friend class RequestHandler;

  // Made afresh after a long text, whose strings its stack would keep.
  std::optional<rapidjson::Reader> reader_;
  std::string group_;
  MaxErrorsStatus max_errors_status_ = MaxErrorsStatus::kAbsent;
  bool trace_ = false;
  // The steps a traced request may still keep, over all its records.
  uint32_t trace_budget_ = 0;
  Spell spell_;
  std::vector<std::string> extra_spell_items_;
  std::vector<std::string> extra_episode_items_;
  // The copy of the text that is parsed in place; the reader's strings
  // point into it while the request is read.
  std::vector<char> buffer_;
  // The reader's state, kept for its capacity.
  std::vector<request_internal::Frame> frames_;
};

// Reads "MaxErrors" text as a decimal integer: optional leading white space,
// an optional sign, then at least one digit; anything after the digits is
// ignored. Returns false when no digit follows or the value lies outside the
// 32-bit range.
bool ReadMaxErrorsText(const std::string& text, int32_t* value);

}  // namespace zorvel
