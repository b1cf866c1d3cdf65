// A named code list of the "Lists" table: code to signed integer value (a
// hierarchy rank, a place within a run, or -1 when the row gave no value).
#pragma once

#include <cstdint>
#include <string>

#include <boost/unordered_map.hpp>

namespace zorvel {

class CodeList {
 public:
  static constexpr int32_t kNoValue = -1;

  CodeList() { codes_.max_load_factor(1.0f); }

  // True when the list holds `code`, whatever its value.
  bool Contains(const std::string& code) const {
    return codes_.find(code) != codes_.end();
  }
  // The value stored for `code`, or null when the list lacks it.
  const int32_t* Find(const std::string& code) const {
    auto it = codes_.find(code);
    return it == codes_.end() ? nullptr : &it->second;
  }
  // Sets the value of `code`, replacing an earlier one.
  void Set(const std::string& code, int32_t value) { codes_[code] = value; }

  size_t size() const { return codes_.size(); }
  // The list's name in the table, for traces.
  const std::string& name() const { return name_; }
  void set_name(const std::string& name) { name_ = name; }
  const boost::unordered_map<std::string, int32_t>& codes() const {
    return codes_;
  }

 private:
  boost::unordered_map<std::string, int32_t> codes_;
  std::string name_;
};

}  // namespace zorvel
