// A named code list of the "Lists" table: code to signed integer value (a
// hierarchy rank, a place within a run, or -1 when the row gave no value).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "refdata/code_table.h"

namespace zorvel {

class CodeList {
 public:
  static constexpr int32_t kNoValue = -1;

  // A list whose table comes from `arena`, or from the heap without one.
  explicit CodeList(TableArena* arena = nullptr) : codes_(arena) {}

  // True when the list holds `code`, whatever its value.
  bool Contains(std::string_view code) const { return codes_.Find(code) != nullptr; }
  // The value stored for `code`, or null when the list lacks it.
  const int32_t* Find(std::string_view code) const { return codes_.Find(code); }
  // Sets the value of `code`, replacing an earlier one.
  void Set(std::string_view code, int32_t value) { codes_.Insert(code) = value; }

  size_t size() const { return codes_.size(); }
  // The list's name in the table, for traces.
  const std::string& name() const { return name_; }
  void set_name(const std::string& name) { name_ = name; }

 private:
  CodeTable<int32_t> codes_;
  std::string name_;
};

}  // namespace zorvel
