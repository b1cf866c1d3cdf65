// The schema document for a registry of stand-in modes.
#include "protocol/schema_writer.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

// A mode with fixed answers and the given field lists.
class FakeMode : public ModeProcessorBase {
 public:
  FakeMode(const char* code, int32_t max_episodes, bool hide)
      : code_(code), max_episodes_(max_episodes), hide_(hide) {}
  const char* GetCode() const override { return code_; }
  const char* GetDescription() const override { return "Fake \"mode\""; }
  int32_t GetMaxEpisodes() const override { return max_episodes_; }
  bool GetHideSpellOutput() const override { return hide_; }
  bool SetUp(const ReferenceData&) override { return true; }
  bool Group(Spell&) override { return true; }
  void Fill(FieldList in_spell, FieldList in_episode, FieldList out_spell,
            FieldList out_episode) {
    SetFieldLists(std::move(in_spell), std::move(in_episode),
                  std::move(out_spell), std::move(out_episode));
  }

 private:
  const char* code_;
  int32_t max_episodes_;
  bool hide_;
};

std::string Render(const ModeRegistry& registry, uint32_t size = 1 << 16,
                   uint32_t* count = nullptr) {
  std::vector<char> buffer(size);
  BoundedOutputStream stream(buffer.data(), size);
  uint32_t result = WriteSchema(registry, stream);
  if (count != nullptr) *count = result;
  return buffer.data();
}

const char kHeader[] =
    "{\"SchemaHeader\":{\"Format\":\"SpellEpisode\",\"Version\":\"1.4\"},"
    "\"SpellEpisode\":{\"Modes\":[";

TEST(SchemaWriter, EmptyRegistryListsNoMode) {
  uint32_t count = 0;
  std::string schema = Render({}, 1 << 16, &count);
  EXPECT_EQ(schema, std::string(kHeader) + "]}}");
  EXPECT_EQ(count, schema.size() + 1);
}

TEST(SchemaWriter, ModeObjectsHoldFieldsTypesAndAttributes) {
  FakeMode apc("APC", 87, false);
  apc.Fill({"Ignored"}, {"Diagnosis", "Age", "Nonsense", "Procedure"},
           {"HRG", "SpellSSC"}, {"DiagHRG"});
  FakeMode nrd("NRD", 1, true);
  nrd.Fill({}, {"Age", "EpiDurV"}, {}, {});
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

TEST(SchemaWriter, ModesFollowTheFixedOrderNotTheRegistryOrder) {
  const char* const codes[] = {"ACC", "APC", "EM", "NAC", "NCC", "NRD", "PCC"};
  std::vector<std::unique_ptr<FakeMode>> modes;
  ModeRegistry registry;
  for (const char* code : codes) {
    modes.push_back(std::make_unique<FakeMode>(code, 1, true));
    registry[code] = modes.back().get();
  }
  registry["XYZ"] = modes.front().get();  // not in the fixed list: left out
  std::string schema = Render(registry);
  std::string order;
  for (size_t at = schema.find("{\"Name\":\""); at != std::string::npos;
       at = schema.find("{\"Name\":\"", at + 1)) {
    size_t end = schema.find('"', at + 9);
    std::string name = schema.substr(at + 9, end - at - 9);
    if (name != "Id" && name != "Errors") order += name + " ";
  }
  EXPECT_EQ(order, "APC NAC EM ACC NCC PCC NRD ");
}

TEST(SchemaWriter, TruncatedDocumentCountsTheFullLength) {
  uint32_t full = 0;
  std::string schema = Render({}, 1 << 16, &full);
  uint32_t count = 0;
  EXPECT_EQ(Render({}, 16, &count), schema.substr(0, 15));
  EXPECT_EQ(count, schema.size());
}

}  // namespace
}  // namespace zorvel
