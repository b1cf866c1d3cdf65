// The programme budgeting category "PBC" of an episode (from its primary
// diagnosis) and of a spell (from its "PDiag"), by the "PBC1"/"ICD" table.
#include "grouping/pbc_logic.h"

#include <string>
#include <vector>

namespace zorvel {
namespace {

// The category of a diagnosis that the table does not place.
constexpr const char* kUnplaced = "PBC02U1";

// Inserts "PBC" for `diagnosis`: the HRG code of the entry its trigger list
// gives, or the unplaced category. An existing "PBC" is kept.
void InsertPbc(const RuleContext& context, const CodeMap& codes,
               const std::string& diagnosis, Record& record) {
  record.trace.Enter("Pbc");
  const HrgEntry* entry =
      context.MatchCode(record, codes, diagnosis, EvalMode::kPlain);
  record.Insert("PBC", std::string(entry != nullptr ? entry->hrg : kUnplaced));
  record.trace.Set("PBC", record.FindSingle("PBC"));
}

}  // namespace

bool EpisodePbcLogic::SetUp(const RuleContext* context,
                            const ReferenceData& data) {
  context_ = context;
  codes_ = data.FindCodeMap("PBC1", "ICD");
  return context_ != nullptr && codes_ != nullptr;
}

void EpisodePbcLogic::Derive(Record& episode) const {
  const std::vector<std::string>* diagnoses = episode.FindList("Diagnosis");
  if (context_ == nullptr || codes_ == nullptr || diagnoses == nullptr ||
      diagnoses->empty()) {
    episode.Insert("PBC", kUnplaced);
    return;
  }
  InsertPbc(*context_, *codes_, diagnoses->front(), episode);
}

bool SpellPbcLogic::SetUp(const RuleContext* context,
                          const ReferenceData& data) {
  context_ = context;
  codes_ = data.FindCodeMap("PBC1", "ICD");
  return context_ != nullptr && codes_ != nullptr;
}

void SpellPbcLogic::Derive(Record& spell) const {
  const std::string& diagnosis = spell.Single("PDiag");
  if (diagnosis.empty() || context_ == nullptr || codes_ == nullptr) {
    spell.Insert("PBC", kUnplaced);
    return;
  }
  InsertPbc(*context_, *codes_, diagnosis, spell);
}

}  // namespace zorvel
