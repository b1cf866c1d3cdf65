// Accessors of Record.
#include "common/record.h"

#include <utility>

namespace zorvel {

const std::string* Record::FindSingle(std::string_view name) const {
  auto it = singles.find(name);
  return it == singles.end() ? nullptr : &it->second;
}

std::string* Record::FindSingle(std::string_view name) {
  auto it = singles.find(name);
  return it == singles.end() ? nullptr : &it->second;
}

const std::vector<std::string>* Record::FindList(std::string_view name) const {
  auto it = lists.find(name);
  return it == lists.end() ? nullptr : &it->second;
}

std::vector<std::string>* Record::FindList(std::string_view name) {
  auto it = lists.find(name);
  return it == lists.end() ? nullptr : &it->second;
}

std::string& Record::Single(std::string_view name) {
  auto it = singles.lower_bound(name);
  if (it == singles.end() || it->first != name) {
    it = singles.emplace_hint(it, std::string(name), std::string());
  }
  return it->second;
}

std::vector<std::string>& Record::List(std::string_view name) {
  auto it = lists.lower_bound(name);
  if (it == lists.end() || it->first != name) {
    it = lists.emplace_hint(it, std::string(name), std::vector<std::string>());
  }
  return it->second;
}

bool Record::IsBlank(std::string_view name) const {
  const std::string* value = FindSingle(name);
  return value == nullptr || value->empty();
}

void Record::Set(std::string_view name, std::string value) {
  Single(name) = std::move(value);
}

void Record::Insert(std::string_view name, std::string value) {
  auto it = singles.lower_bound(name);
  if (it == singles.end() || it->first != name) {
    singles.emplace_hint(it, std::string(name), std::move(value));
  }
}

void UpperCaseList(Record& record, std::string_view name) {
  for (std::string& code : record.List(name)) {
    for (char& c : code) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
  }
}

}  // namespace zorvel
