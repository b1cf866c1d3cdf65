// The paediatric critical care grouping mode, code "PCC". Its grouping is not built yet:
// set-up fills the field lists and reports that the mode is not ready, and
// every request is answered with the mode's not-initialised error.
#pragma once

#include "modes/mode_processor.h"

namespace zorvel {

class PCCProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "PCC"; }
  const char* GetDescription() const override {
    return "Paediatric Critical Care (PCC)";
  }
  int32_t GetMaxEpisodes() const override { return 87; }
  bool GetHideSpellOutput() const override { return true; }

  bool SetUp(const ReferenceData& data) override;
  bool Group(Spell& spell) override;
};

}  // namespace zorvel
