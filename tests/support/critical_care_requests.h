// Request building and the small table set shared by the paediatric and
// neonatal critical care tests. Requests go through the exported
// CS_Prepare/CS_Process of the static core, in-process.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/packed_tables.h"

namespace zorvel {
namespace testing {

// The CSV texts of a small table set with the paediatric and neonatal lists,
// hierarchies and trigger tables. Without `with_gestation_list` the
// validation list "GestLen" is left out, so gestation goes unchecked.
TableTexts CriticalCareTableTexts(bool with_gestation_list = true);

// One episode of a request, as JSON members in insertion order. Setting a
// member again replaces its value in place.
class JsonObject {
 public:
  JsonObject& Set(const std::string& name, const std::string& value);
  JsonObject& List(const std::string& name,
                   const std::vector<std::string>& values);
  // The object's JSON text.
  std::string Text() const;

 private:
  void Put(const std::string& name, std::string value_text);

  std::vector<std::pair<std::string, std::string>> members_;  // name, JSON
};

// A request of mode `group` for spell `spell_id` with `episodes`, asking for
// the further episode items `extra_items`.
std::string Request(const std::string& group, const std::string& spell_id,
                    const std::vector<JsonObject>& episodes,
                    const std::vector<std::string>& extra_items);

// The CCYYMMDD date `n` days after 1 January 2019 (n from 0 to 364).
std::string NthDay(int n);

// Groups `request` through CS_Process and returns the response text.
std::string Process(const std::string& request);

}  // namespace testing
}  // namespace zorvel
