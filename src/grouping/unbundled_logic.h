// Procedure-driven unbundled HRGs. For an admitted episode each procedure
// code is tried against the first table group (assessment, chemotherapy,
// drugs, radiology), the treatment specialty against "UNPCC", and each code
// against the second group (radiotherapy, rehabilitation, renal). For an
// outpatient attendance each code is tried against all nine tables in one
// group, and no specialty is looked up. Matches are appended to
// "UnbundledHRG" and the codes that produced them are deleted.
#pragma once

#include <string>
#include <vector>

#include "common/record.h"
#include "grouping/code_delete_logic.h"
#include "refdata/reference_data.h"
#include "rules/rule_context.h"

namespace zorvel {

// Which care setting a derivation serves.
enum class CareSetting { kAdmitted, kOutpatient };

class UnbundledLogic {
 public:
  // Binds to every table the setting needs (the admitted one also
  // "UNPCC"/"TRETSPEF"); true when all exist.
  bool SetUp(const CodeDeleteLogic* deletion, const RuleContext* context,
             const ReferenceData& data,
             CareSetting setting = CareSetting::kAdmitted);

  // False when not set up or when an unbundled HRG "UZ01Z" was found.
  bool Derive(Record& record) const;

 private:
  struct Table {
    std::string name;
    const CodeMap* codes = nullptr;
  };

  const CodeDeleteLogic* deletion_ = nullptr;
  const RuleContext* context_ = nullptr;
  std::vector<Table> first_group_;
  std::vector<Table> second_group_;
  const CodeMap* specialties_ = nullptr;  // admitted only
  bool ready_ = false;
};

}  // namespace zorvel
