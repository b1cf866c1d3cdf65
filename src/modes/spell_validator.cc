// Spell validation of admitted patient care.
#include "modes/spell_validator.h"

#include <cstdint>
#include <set>

#include "common/numbers.h"

namespace zorvel {
namespace {

constexpr size_t kMaxEpisodes = 87;

// Errors already reported for this spell, so that each is reported once.
struct Reported {
  std::set<std::string> fields;
  bool falls = false, rises = false, repeated_id = false;
};

// Appends `error` to the spell the first time `done` is found false.
void Once(Spell& spell, bool& done, GroupingError error) {
  if (done) return;
  done = true;
  spell.AddError(std::move(error));
}

}  // namespace

SpellValidator::SpellValidator()
    : agreeing_fields_{"SEX", "CLASSPAT", "ADMIMETH", "ADMISORC"} {}

bool SpellValidator::Validate(Spell& spell) const {
  bool valid = true;
  EpisodeList& episodes = spell.episodes;
  if (episodes.empty() || episodes.size() > kMaxEpisodes) {
    spell.AddError(GroupingError::WithValue("", "", kSpellExceeds87Episodes));
    valid = false;
    if (episodes.empty()) return false;
  }
  std::set<std::string> seen_ids;
  if (const std::string* id = episodes.front().FindSingle("Id")) seen_ids.insert(*id);
  Reported reported;
  for (size_t i = 1; i < episodes.size(); ++i) {
    Record& previous = episodes[i - 1];
    Record& current = episodes[i];
    for (const std::string& field : agreeing_fields_) {
      const std::string* a = previous.FindSingle(field);
      const std::string* b = current.FindSingle(field);
      if (a != nullptr && b != nullptr && *a == *b) continue;
      valid = false;
      if (reported.fields.insert(field).second) {
        spell.AddError(GroupingError::WithValue(field, "", kInconsistentInSpell));
      }
    }
    const std::string* previous_age = previous.FindSingle("Age");
    const std::string* current_age = current.FindSingle("Age");
    if (previous_age == nullptr || current_age == nullptr) {
      spell.AddError(GroupingError::Free("Age", "Age must be present in every episode"));
      return false;
    }
    // The age may rise by one year for every whole 365 days of the
    // previous episode, plus one.
    const int64_t a = LeadingIntOrZero(*previous_age);
    const int64_t b = LeadingIntOrZero(*current_age);
    const int64_t days = LeadingIntOrZero(previous.Single("EpiDur"));
    if (b < a) {
      valid = false;
      Once(spell, reported.falls, GroupingError::WithValue("Age", "", kFallsInEpisodes));
    }
    if (b - a > (days + 365) / 365) {
      valid = false;
      Once(spell, reported.rises, GroupingError::WithValue("Age", "", kRisesMoreThanExpected));
    }
    const std::string* previous_id = previous.FindSingle("Id");
    const std::string* current_id = current.FindSingle("Id");
    if (previous_id != nullptr && current_id != nullptr && !seen_ids.insert(*current_id).second) {
      valid = false;
      Once(spell, reported.repeated_id, GroupingError::WithValue("Id", "", kNotUniqueInSpell));
    }
  }
  return valid;
}

}  // namespace zorvel
