// The spell grouping of admitted patient care for a spell of several
// episodes: the dominant episode (by a trauma HRG on the first episode, the
// highest "ProcHier" procedure above 2, the highest "DiagHier" primary
// diagnosis, or else the first episode), the spell's diagnoses with the
// dominant episode's first, the items copied from the first, dominant and
// last episodes, the "PNCO" blanking and the duration sums.
#pragma once

#include "common/record.h"
#include "refdata/reference_data.h"

namespace zorvel {

class SpellGroupingLogic {
 public:
  // Binds to "ProcHier", "DiagHier" and "PNCO"; true when all three exist.
  bool SetUp(const ReferenceData& data);

  // Writes the spell items into `spell` from its episodes. Needs the
  // spell's "Procedure" list with its procedure origins already assembled.
  // A spell without episodes gets the error "Zero episode spell". Does
  // nothing when not set up.
  void Derive(Spell& spell) const;

 private:
  struct Dominance;

  void ChooseByProcedure(Spell& spell, Dominance& dominance) const;
  void GatherEpisodes(Spell& spell, Dominance& dominance) const;
  void BlankDiagnoses(Record& spell, bool pnco) const;

  const CodeList* procedure_hierarchy_ = nullptr;
  const CodeList* diagnosis_hierarchy_ = nullptr;
  const CodeList* pnco_ = nullptr;
};

}  // namespace zorvel
