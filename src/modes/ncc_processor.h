// The neonatal critical care grouping mode, code "NCC". Its grouping is not built yet:
// set-up fills the field lists and reports that the mode is not ready, and
// every request is answered with the mode's not-initialised error.
#pragma once

#include "modes/mode_processor.h"

namespace zorvel {

class NCCProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "NCC"; }
  const char* GetDescription() const override {
    return "Neonatal Critical Care (NCC)";
  }
  int32_t GetMaxEpisodes() const override { return 250; }
  bool GetHideSpellOutput() const override { return true; }

  bool SetUp(const ReferenceData& data) override;
  bool Group(Spell& spell) override;
};

}  // namespace zorvel
