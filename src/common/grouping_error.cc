// Constructors of GroupingError entries.
#include "common/grouping_error.h"

#include <utility>

namespace zorvel {

GroupingError GroupingError::WithPosition(std::string field, std::string value,
                                          int32_t position, int32_t message) {
  GroupingError e;
  e.field = std::move(field);
  e.text = std::move(value);
  e.index = std::to_string(position);
  e.message = message;
  return e;
}

GroupingError GroupingError::WithValue(std::string field, std::string value,
                                       int32_t message) {
  GroupingError e;
  e.field = std::move(field);
  e.text = std::move(value);
  e.message = message;
  return e;
}

GroupingError GroupingError::Free(std::string field, std::string message_text) {
  GroupingError e;
  e.field = std::move(field);
  e.text = std::move(message_text);
  e.message = kFreeMessage;
  return e;
}

bool GroupingError::operator==(const GroupingError& other) const {
  return field == other.field && text == other.text && index == other.index &&
         message == other.message && section == other.section;
}

}  // namespace zorvel
