// The emergency medicine grouping mode, code "EM". Its grouping is not built yet:
// set-up fills the field lists and reports that the mode is not ready, and
// every request is answered with the mode's not-initialised error.
#pragma once

#include "modes/mode_processor.h"

namespace zorvel {

class EMProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "EM"; }
  const char* GetDescription() const override {
    return "Emergency Medicine (EM)";
  }
  int32_t GetMaxEpisodes() const override { return 1; }
  bool GetHideSpellOutput() const override { return true; }

  bool SetUp(const ReferenceData& data) override;
  bool Group(Spell& spell) override;
};

}  // namespace zorvel
