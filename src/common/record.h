// Record and Spell: the units of data that every grouping mode reads and
// writes. Values stay text exactly as received; derived items are written
// back as text under their data item names.
//
// Single values and list values are ordered maps with byte-wise key order.
// They accept std::string_view keys for look-up without allocation.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/grouping_error.h"

namespace zorvel {

using SingleValues = std::map<std::string, std::string, std::less<>>;
using ListValues = std::map<std::string, std::vector<std::string>, std::less<>>;

// One episode; also the base of the spell.
struct Record {
  bool success = false;
  std::vector<GroupingError> errors;
  SingleValues singles;
  ListValues lists;

  // The single value of `name`, or null when the record lacks it.
  const std::string* FindSingle(std::string_view name) const;
  std::string* FindSingle(std::string_view name);
  // The list value of `name`, or null when the record lacks it.
  const std::vector<std::string>* FindList(std::string_view name) const;
  std::vector<std::string>* FindList(std::string_view name);

  // Subscript access: the value of `name`, created empty when absent.
  std::string& Single(std::string_view name);
  std::vector<std::string>& List(std::string_view name);

  // True when `name` is absent or empty (does not create it).
  bool IsBlank(std::string_view name) const;

  // Sets `name` to `value`, replacing any existing value.
  void Set(std::string_view name, std::string value);
  // Inserts `name` = `value` unless the record already holds `name`.
  void Insert(std::string_view name, std::string value);

  void AddError(GroupingError error) { errors.push_back(std::move(error)); }
};

// Upper-cases (ASCII letters) every element of the list `name` of `record`
// in place, creating the list empty when absent.
void UpperCaseList(Record& record, std::string_view name);

// One request's spell: its own fields plus its episodes. The output record is
// the record whose values are written as the spell's output fields; it points
// at the spell itself unless a mode redirects it. A Spell is not copyable,
// since the output record may point into it.
struct Spell : Record {
  Spell() = default;
  Spell(const Spell&) = delete;
  Spell& operator=(const Spell&) = delete;

  Record* output = this;
  std::vector<Record> episodes;
  // For each entry of the spell's own "Procedure" list, the index of the
  // episode it came from; filled by the admitted spell grouping.
  std::vector<size_t> procedure_origins;
};

}  // namespace zorvel
