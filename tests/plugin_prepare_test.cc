// Host-style tests of CS_Prepare with table sets that name a rule or list
// another table lacks: the load is refused as a whole and the plug-in then
// answers every request with the unknown-mode error.
#include <string>

#include <gtest/gtest.h>

#include "support/fresh_plugin.h"
#include "support/packed_tables.h"

namespace zorvel::testing {
namespace {

// A small table set whose cross-references all resolve.
TableTexts SoundTables() {
  TableTexts texts = TwoRuleTexts();
  texts.validation_lists = "SEX,1\n";
  texts.triggers = std::string(kTriggerHeader) + "Core1,ICD,X,A,H1,,B,\n";
  texts.combinations += "Combo,A,H1\n";
  texts.codes = "HRG6,UZ01Z,UZ,Invalid\n";
  return texts;
}

struct Fault {
  const char* name;
  TableTexts texts;
};

std::vector<Fault> Faults() {
  std::vector<Fault> faults;
  TableTexts rule_list = SoundTables();
  rule_list.rule_defs += "C,DataItemInList,Procedure,,,,NoSuchList\n";
  faults.push_back({"rule naming a missing list", rule_list});
  TableTexts entry_rule = SoundTables();
  entry_rule.triggers += "Core1,ICD,Y,Nope,H2,,A,\n";
  faults.push_back({"trigger entry naming a missing rule", entry_rule});
  TableTexts trigger_rule = SoundTables();
  trigger_rule.triggers += "Core1,ICD,Y,A,H2,,Nope,\n";
  faults.push_back({"trigger naming a missing rule", trigger_rule});
  TableTexts combination = SoundTables();
  combination.combinations += "Combo,Nope,H2\n";
  faults.push_back({"combination naming a missing rule", combination});
  return faults;
}

bool IsUnknownModeAnswer(const std::string& response) {
  return response.find("Unknown grouping method") != std::string::npos;
}

const char kAccRequest[] =
    "{\"Group\":\"ACC\",\"Spell\":{\"Episodes\":[{\"Id\":\"e1\"}]}}";

TEST(PluginPrepare, SoundTablesRegisterTheModes) {
  PackedTables tables(SoundTables());
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              api.CS_Prepare(tables.dir().c_str());
              checks.Expect(!IsUnknownModeAnswer(api.Process(kAccRequest)),
                            "ACC dispatched");
            }),
            "");
}

TEST(PluginPrepare, EachCrossReferenceFaultFailsPrepare) {
  for (const Fault& fault : Faults()) {
    PackedTables tables(fault.texts);
    EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
                checks.Expect(!api.CS_Prepare(tables.dir().c_str()),
                              "CS_Prepare answers false");
                checks.Expect(IsUnknownModeAnswer(api.Process(kAccRequest)),
                              "unknown-mode answer");
              }),
              "")
        << fault.name;
  }
}

TEST(PluginPrepare, FaultyReloadAfterASoundLoadRefusesToGroup) {
  for (const Fault& fault : Faults()) {
    PackedTables sound(SoundTables());
    PackedTables faulty(fault.texts);
    EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
                api.CS_Prepare(sound.dir().c_str());
                checks.Expect(!IsUnknownModeAnswer(api.Process(kAccRequest)),
                              "ACC dispatched after the sound load");
                checks.Expect(!api.CS_Prepare(faulty.dir().c_str()),
                              "faulty reload answers false");
                checks.Expect(IsUnknownModeAnswer(api.Process(kAccRequest)),
                              "unknown-mode answer after the faulty reload");
                // A later sound load brings the modes back.
                api.CS_Prepare(sound.dir().c_str());
                checks.Expect(!IsUnknownModeAnswer(api.Process(kAccRequest)),
                              "ACC dispatched after a new sound load");
              }),
              "")
        << fault.name;
  }
}

}  // namespace
}  // namespace zorvel::testing
