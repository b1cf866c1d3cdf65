// The flat-file grouper's reading of answers it does not usually get: the
// plug-in lists members in schema order, but the lines must come out the
// same whatever the order, and whichever way the answer was read.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "column_mapping.h"
#include "flat_file_grouper.h"
#include "mode_schema.h"
#include "plugin_loader.h"

namespace zorvel::cli {
namespace {

// The answer the stand-in plug-in gives to every request.
std::string g_answer;

uint32_t AnswerEveryRequest(int32_t, const char*, char* out, uint32_t size) {
  if (g_answer.size() >= size) return static_cast<uint32_t>(g_answer.size()) + 1;
  g_answer.copy(out, g_answer.size());
  out[g_answer.size()] = '\0';
  return static_cast<uint32_t>(g_answer.size());
}

TEST(FlatFileGrouper, MembersInAnyOrderFillTheirOwnColumns) {
  PluginApi api;
  api.CS_Process = AnswerEveryRequest;
  ModeSchema mode;
  mode.spell_inputs = {{"Age", false}};
  mode.spell_outputs = {{"HRG", false}, {"Grouper", false}, {"Flags", true}};
  mode.episode_outputs = {{"Id", false}, {"HRG", false}, {"Note", false}};
  ColumnMapping mapping;
  ASSERT_TRUE(mapping.Build(mode, {"SpellId", "Age"}, "SpellId", {}));
  SpellBatch batch;
  batch.spells.push_back({"S1", {2}, {{"S1", "40"}}});
  const std::string in_order =
      R"({"Success":true,"HRG":"AA01A","Grouper":"g","Flags":["x","y"],)"
      R"("Episodes":[{"Id":"E1","HRG":"AA01B","Note":"n"}]})";
  const std::string shuffled =
      R"({"Flags":["x","y"],"Episodes":[{"Note":"n","HRG":"AA01B","Id":"E1"}],)"
      R"("Grouper":"g","Success":true,"HRG":"AA01A"})";
  // Read by RapidJSON: white space and an escape keep it from the direct split.
  const std::string parsed =
      "{ \"Grouper\" : \"\\u0067\", \"HRG\":\"AA01A\",\"Success\":true,\"Flags\":[\"x\",\"y\"],"
      "\"Episodes\":[{\"HRG\":\"AA01B\",\"Id\":\"E1\",\"Note\":\"n\"}]}";
  for (const std::string& answer : {in_order, shuffled, parsed}) {
    g_answer = answer;
    BatchResult result;
    FlatFileGrouper(api, mode, mapping, false).GroupInto(batch, &result);
    EXPECT_EQ(result.spells, "S1,true,AA01A,g,x;y\n") << answer;
    EXPECT_EQ(result.episodes, "S1,E1,false,AA01B,n\n") << answer;
    EXPECT_EQ(result.succeeded, 1) << answer;
    EXPECT_EQ(result.hrgs.Of("AA01A"), 1) << answer;
    EXPECT_EQ(result.hrgs.Of("AA01B"), 0) << answer;
  }
}

}  // namespace
}  // namespace zorvel::cli
