// The checks admitted patient care makes on a spell of several episodes:
// the episode count, the agreement of key fields between consecutive
// episodes, the ages and the uniqueness of episode identifiers. Errors go to
// the spell; each kind is reported once per spell (field disagreement once
// per field), however many pairs fail.
#pragma once

#include <string>
#include <vector>

#include "common/record.h"

namespace zorvel {

class SpellValidator {
 public:
  // The fields that must agree between consecutive episodes, in order.
  SpellValidator();

  // Appends the spell's errors; true when the spell passed every check.
  bool Validate(Spell& spell) const;

 private:
  std::vector<std::string> agreeing_fields_;
};

}  // namespace zorvel
