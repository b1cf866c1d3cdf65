// The schema document for a registry of one stand-in mode: each field's type
// and attributes come from the data item dictionary, "Id" and "Errors" lead
// the lists, and a mode's constants are written as given. Which modes the
// real plug-in lists, in which order, is shown through the exports.
#include "protocol/schema_writer.h"

#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

class FakeMode : public ModeProcessorBase {
 public:
  FakeMode() {
    SetFieldLists({"Ignored"}, {"Diagnosis", "Age", "Nonsense", "Procedure"}, {"HRG", "SpellSSC"},
                  {"DiagHRG"});
  }
  const char* GetCode() const override { return "APC"; }
  const char* GetDescription() const override { return "Fake \"mode\""; }
  int32_t GetMaxEpisodes() const override { return 87; }
  bool GetHideSpellOutput() const override { return false; }
  bool SetUp(const ReferenceData&) override { return true; }
  bool Group(Spell&) override { return true; }
};

TEST(SchemaWriter, ModeObjectsHoldFieldsTypesAndAttributes) {
  FakeMode apc;
  std::vector<char> buffer(1 << 16);
  BoundedOutputStream stream(buffer.data(), static_cast<uint32_t>(buffer.size()));
  WriteSchema(ModeRegistry{{"APC", &apc}}, stream);
  EXPECT_EQ(
      std::string(buffer.data()),
      R"({"SchemaHeader":{"Format":"SpellEpisode","Version":"1.4"},"SpellEpisode":{"Modes":[)"
      R"({"Name":"APC","Description":"Fake \"mode\"","MaxEpisodes":87,"HideSpellOutput":false,)"
      R"("InputSpellFields":[{"Name":"Id","Type":"string"}],)"
      R"("InputEpisodeFields":[{"Name":"Id","Type":"string","required":"true"},)"
      R"({"Name":"Diagnosis","Type":"stringarray","required":"true","requiredLimit":"1",)"
      R"("uppercase":"true","persistOnCopy":"true","persistOnCopyLimit":"1"},)"
      R"({"Name":"Age","Type":"string","required":"true","persistOnCopy":"true","default":"25"},)"
      R"({"Name":"Nonsense","Type":"default"},)"
      R"({"Name":"Procedure","Type":"stringarray","uppercase":"true"}],)"
      R"("OutputSpellFields":[{"Name":"Id","Type":"string"},{"Name":"Errors","Type":"errorarray"},)"
      R"({"Name":"HRG","Type":"string"},{"Name":"SpellSSC","Type":"stringarray"}],)"
      R"("OutputEpisodeFields":[{"Name":"Id","Type":"string"},)"
      R"({"Name":"Errors","Type":"errorarray"},{"Name":"DiagHRG","Type":"default"}]}]}})");
}

}  // namespace
}  // namespace zorvel
