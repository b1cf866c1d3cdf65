// The interface of a grouping mode, and a common base holding the four field
// lists that every mode fills at set-up. The Processor owns one object of
// each mode, registers them under their codes and knows them only through
// IModeProcessor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/record.h"
#include "refdata/reference_data.h"

namespace zorvel {

using FieldList = std::vector<std::string>;

class IModeProcessor {
 public:
  virtual ~IModeProcessor() = default;

  // The mode code of the registry and of a request's "Group".
  virtual const char* GetCode() const = 0;
  // The mode's human-readable name, the schema's "Description".
  virtual const char* GetDescription() const = 0;
  // Binds the mode to `data`, builds its helpers and fills its field lists.
  // True when the mode is ready. The mode keeps pointers into `data`, valid
  // until the next load.
  virtual bool SetUp(const ReferenceData& data) = 0;
  // Groups one spell: derives output items into the spell and its episodes,
  // appends errors and sets success flags. False only when the mode cannot
  // run at all (it then has appended a "PLUGIN" error to the spell).
  virtual bool Group(Spell& spell) = 0;
  virtual const FieldList& GetOutputSpellFields() const = 0;
  virtual const FieldList& GetOutputEpisodeFields() const = 0;
  virtual const FieldList& GetInputSpellFields() const = 0;
  virtual const FieldList& GetInputEpisodeFields() const = 0;
  virtual int32_t GetMaxEpisodes() const = 0;
  virtual bool GetHideSpellOutput() const = 0;
};

// Holds the field lists and answers the list accessors.
class ModeProcessorBase : public IModeProcessor {
 public:
  const FieldList& GetOutputSpellFields() const override {
    return output_spell_fields_;
  }
  const FieldList& GetOutputEpisodeFields() const override {
    return output_episode_fields_;
  }
  const FieldList& GetInputSpellFields() const override {
    return input_spell_fields_;
  }
  const FieldList& GetInputEpisodeFields() const override {
    return input_episode_fields_;
  }

 protected:
  // Replaces the four lists; set-ups call it so that a repeated set-up does
  // not list a field twice.
  void SetFieldLists(FieldList input_spell, FieldList input_episode,
                     FieldList output_spell, FieldList output_episode);

  // Appends the "PLUGIN" spell error of a mode that is not set up:
  // "<prefix> Processor has not been initalised".
  static void AddNotInitialisedError(Spell& spell, const char* prefix);

  // For a traced record, the "Set" step of its final "HRG", entered as a
  // step of component `mode`; `reason` says why when it is the error HRG
  // given for the record's errors.
  static void TraceFinalHrg(Record& record, const char* mode,
                            const char* reason = nullptr);

  FieldList input_spell_fields_;
  FieldList input_episode_fields_;
  FieldList output_spell_fields_;
  FieldList output_episode_fields_;
};

}  // namespace zorvel
