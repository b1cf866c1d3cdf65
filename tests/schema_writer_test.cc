// The schema document for a registry of stand-in modes: each field's type
// and attributes come from the data item dictionary. Which modes the real
// plug-in lists, in which order, is shown through the exports.
#include "protocol/schema_writer.h"

#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

// A mode with fixed answers and the given field lists.
class FakeMode : public ModeProcessorBase {
 public:
  FakeMode(const char* code, int32_t max_episodes, bool hide, FieldList in_spell,
           FieldList in_episode, FieldList out_spell, FieldList out_episode)
      : code_(code), max_episodes_(max_episodes), hide_(hide) {
    SetFieldLists(in_spell, in_episode, out_spell, out_episode);
  }
  const char* GetCode() const override { return code_; }
  const char* GetDescription() const override { return "Fake \"mode\""; }
  int32_t GetMaxEpisodes() const override { return max_episodes_; }
  bool GetHideSpellOutput() const override { return hide_; }
  bool SetUp(const ReferenceData&) override { return true; }
  bool Group(Spell&) override { return true; }

 private:
  const char* code_;
  int32_t max_episodes_;
  bool hide_;
};

std::string Render(const ModeRegistry& registry) {
  std::vector<char> buffer(1 << 16);
  BoundedOutputStream stream(buffer.data(), static_cast<uint32_t>(buffer.size()));
  WriteSchema(registry, stream);
  return buffer.data();
}

const char kHeader[] =
    "{\"SchemaHeader\":{\"Format\":\"SpellEpisode\",\"Version\":\"1.4\"},"
    "\"SpellEpisode\":{\"Modes\":[";

TEST(SchemaWriter, ModeObjectsHoldFieldsTypesAndAttributes) {
  FakeMode apc("APC", 87, false, {"Ignored"}, {"Diagnosis", "Age", "Nonsense", "Procedure"},
               {"HRG", "SpellSSC"}, {"DiagHRG"});
  FakeMode nrd("NRD", 1, true, {}, {"Age", "EpiDurV"}, {}, {});
  ModeRegistry registry = {{"NRD", &nrd}, {"APC", &apc}};
  EXPECT_EQ(
      Render(registry),
      std::string(kHeader) +
          "{\"Name\":\"APC\",\"Description\":\"Fake \\\"mode\\\"\","
          "\"MaxEpisodes\":87,\"HideSpellOutput\":false,"
          "\"InputSpellFields\":[{\"Name\":\"Id\",\"Type\":\"string\"}],"
          "\"InputEpisodeFields\":["
          "{\"Name\":\"Id\",\"Type\":\"string\",\"required\":\"true\"},"
          "{\"Name\":\"Diagnosis\",\"Type\":\"stringarray\",\"required\":"
          "\"true\",\"requiredLimit\":\"1\",\"uppercase\":\"true\","
          "\"persistOnCopy\":\"true\",\"persistOnCopyLimit\":\"1\"},"
          "{\"Name\":\"Age\",\"Type\":\"string\",\"required\":\"true\","
          "\"persistOnCopy\":\"true\",\"default\":\"25\"},"
          "{\"Name\":\"Nonsense\",\"Type\":\"default\"},"
          "{\"Name\":\"Procedure\",\"Type\":\"stringarray\",\"uppercase\":"
          "\"true\"}],"
          "\"OutputSpellFields\":[{\"Name\":\"Id\",\"Type\":\"string\"},"
          "{\"Name\":\"Errors\",\"Type\":\"errorarray\"},"
          "{\"Name\":\"HRG\",\"Type\":\"string\"},"
          "{\"Name\":\"SpellSSC\",\"Type\":\"stringarray\"}],"
          "\"OutputEpisodeFields\":[{\"Name\":\"Id\",\"Type\":\"string\"},"
          "{\"Name\":\"Errors\",\"Type\":\"errorarray\"},"
          "{\"Name\":\"DiagHRG\",\"Type\":\"default\"}]},"
          "{\"Name\":\"NRD\",\"Description\":\"Fake \\\"mode\\\"\","
          "\"MaxEpisodes\":1,\"HideSpellOutput\":true,"
          "\"InputSpellFields\":[{\"Name\":\"Id\",\"Type\":\"string\"}],"
          "\"InputEpisodeFields\":["
          "{\"Name\":\"Id\",\"Type\":\"string\",\"required\":\"true\"},"
          "{\"Name\":\"Age\",\"Type\":\"string\",\"required\":\"true\"},"
          "{\"Name\":\"EpiDurV\",\"Type\":\"string\"}],"
          "\"OutputSpellFields\":[{\"Name\":\"Id\",\"Type\":\"string\"},"
          "{\"Name\":\"Errors\",\"Type\":\"errorarray\"}],"
          "\"OutputEpisodeFields\":[{\"Name\":\"Id\",\"Type\":\"string\"},"
          "{\"Name\":\"Errors\",\"Type\":\"errorarray\"}]}]}}");
}

}  // namespace
}  // namespace zorvel
