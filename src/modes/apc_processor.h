// The admitted patient care grouping mode, code "APC". Its grouping is not built yet:
// set-up fills the field lists and reports that the mode is not ready, and
// every request is answered with the mode's not-initialised error.
#pragma once

#include "modes/mode_processor.h"

namespace zorvel {

class APCProcessor : public ModeProcessorBase {
 public:
  const char* GetCode() const override { return "APC"; }
  const char* GetDescription() const override {
    return "Admitted Patient Care (APC)";
  }
  int32_t GetMaxEpisodes() const override { return 87; }
  bool GetHideSpellOutput() const override { return false; }

  bool SetUp(const ReferenceData& data) override;
  bool Group(Spell& spell) override;
};

}  // namespace zorvel
