// Field checks of an episode against the validation lists. Each mode builds
// one validator at set-up and runs it on every episode it groups. A failed
// check adds an "is blank" or "is invalid" error, may replace the offending
// value and may set a flag item.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/record.h"
#include "refdata/data_item_dictionary.h"
#include "refdata/reference_data.h"

namespace zorvel {

struct FieldCheck {
  std::string item;
  uint32_t item_hash = 0;            // HashItemName(item)
  const ValidationSet* valid_set = nullptr;
  bool optional = false;
  DataItemKind kind = kUnknownItem;  // kUnknownItem makes the check do nothing
  std::string replacement;           // written over an invalid value
  std::string error_field;           // error's field instead of `item`
  std::string flag_item;             // set to "E" (blank) or "F" (invalid)

  ItemKey key() const { return ItemKey(item, item_hash); }
};

class EpisodeValidator {
 public:
  // The validator reads the sets of `lists`, which must outlive it.
  explicit EpisodeValidator(const ValidationLists& lists) : lists_(&lists) {}

  // Appends a check of `item` against validation list `list_name`. Returns
  // false, adding nothing, when the tables lack that list.
  bool AddCheck(const std::string& list_name, bool optional,
                const std::string& item, const std::string& replacement = "",
                const std::string& error_field = "",
                const std::string& flag_item = "");

  // Runs every check in order on `record`, appending errors and applying
  // replacements and flags. Returns true when no check failed.
  bool Validate(Record& record) const;

  const std::vector<FieldCheck>& checks() const { return checks_; }

 private:
  const ValidationLists* lists_;
  std::vector<FieldCheck> checks_;
};

}  // namespace zorvel
