// A problem found in a request: one entry of a record's error list. Entries
// are plain values; the record that owns the list keeps them in the order in
// which they were appended. Message numbers index the fixed message table of
// the response writer (protocol/error_catalogue.h).
#pragma once

#include <cstdint>
#include <string>

namespace zorvel {

// Message numbers of the fixed message table.
enum MessageNumber : int32_t {
  kNoMessage = 0,
  kFreeMessage = 1,          // the entry's own text is the message
  kIsBlank = 2,              // "is blank"
  kIsInvalid = 3,            // "is invalid"
  kUz01InvalidPrimaryDiagnosis = 4,
  kUz02PoorlyCodedPrimaryDiagnosis = 5,
  kNotUniqueInSpell = 6,
  kSpellExceeds87Episodes = 7,
  kRisesMoreThanExpected = 8,
  kFallsInEpisodes = 9,
  kInconsistentInSpell = 10,
  kUz05InvalidProcedure = 11,
  kUz06PoorlyCodedProcedure = 12,
  kUz14RenalError = 13,
  kUz11NeonatalError = 14,
  kUz21CcacInappropriateForNcc = 15,
  kUz13AccGroupingError = 16,
  kUz03DiagnosisConflictsWithAge = 17,
  kUz04DiagnosisConflictsWithSite = 18,
  kUz15BurnsPrimaryDiagnosis = 19,
};

// Section 0 is "episode", 1 is "spell"; every error the system raises is 0.
enum Section : int32_t { kEpisodeSection = 0, kSpellSection = 1 };

struct GroupingError {
  std::string field;  // data item name, or "PLUGIN"
  std::string text;   // offending value, or the message itself when free
  std::string index;  // position as signed decimal text, or empty
  int32_t message = kNoMessage;
  int32_t section = kEpisodeSection;

  // An error about the value at a position of an array item.
  static GroupingError WithPosition(std::string field, std::string value,
                                    int32_t position, int32_t message);
  // An error about a value, without a position.
  static GroupingError WithValue(std::string field, std::string value,
                                 int32_t message);
  // An error whose message is the given text (message number 1).
  static GroupingError Free(std::string field, std::string message_text);

  bool operator==(const GroupingError& other) const;
};

}  // namespace zorvel
