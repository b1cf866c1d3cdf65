// Host-style tests of the exported functions: each scenario loads the built
// plug-in afresh in its own process, as a host would. What a request answers
// once prepared is shown by the golden cases; these tests cover what only a
// fresh library shows: identity before first use, the CS_Prepare scenarios,
// buffers, truncation and counting.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fresh_plugin.h"
#include "support/packed_tables.h"

namespace zorvel::testing {
namespace {

const char* const kTableFiles[] = {
    "ValidationLists.csv.enc", "Lists.csv.enc",       "RuleDefs.csv.enc",
    "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc", "Code.csv.enc"};
const char* const kModeCodes[] = {"ACC", "APC", "EM", "NAC", "NCC", "NRD", "PCC"};
const char kEmptySchema[] =
    R"({"SchemaHeader":{"Format":"SpellEpisode","Version":"1.4"},"SpellEpisode":{"Modes":[]}})";

std::string RequestFor(const std::string& code) {
  return R"({"Group":")" + code + R"(","Spell":{"Id":"s1","Episodes":[{"Id":"e1"}]}})";
}

const std::string kUnknownModeAnswer =
    R"({"Success":false,"Errors":[{"Field":"PLUGIN","Message":"Unknown grouping )"
    R"(method, please use APC/ACC/PCC/NAC/EM/NCC/RENAL","Value":"","Index":"",)"
    R"("Section":"episode"}],"Episodes":[{"Id":"e1","Success":false}]})";

bool Dispatched(const PluginExports& api, const std::string& code) {
  return api.Process(RequestFor(code).c_str()) != kUnknownModeAnswer;
}

// Every mode answers the unknown-mode error and the schema lists none.
void ExpectRefusesToGroup(const PluginExports& api, Checks& checks,
                          const std::string& when) {
  for (const char* code : kModeCodes) checks.Expect(!Dispatched(api, code), when + " " + code);
  checks.ExpectEq(api.Schema(), kEmptySchema, when + " schema");
}

// A copy of the demo tables in a fresh directory, removed afterwards.
class DemoTablesCopy {
 public:
  DemoTablesCopy() {
    char pattern[] = "/tmp/zorvel_demo_XXXXXX";
    dir_ = std::string(mkdtemp(pattern)) + "/";
    for (const char* name : kTableFiles) {
      std::ifstream in(std::string(ZORVEL_DEMO_DIR) + name, std::ios::binary);
      std::ofstream(dir_ + name, std::ios::binary) << in.rdbuf();
    }
  }
  ~DemoTablesCopy() {
    for (const char* name : kTableFiles) Remove(name);
    rmdir(dir_.c_str());
  }
  void Remove(const char* name) { std::remove((dir_ + name).c_str()); }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

TEST(PluginExports, IdentityExportsAnswerBeforeAnyOtherCall) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              checks.ExpectEq(api.GetVersion(), 11, "GetVersion");
              checks.ExpectEq(api.CS_PluginName(), "Zorvel", "CS_PluginName");
              checks.ExpectEq(api.CS_VersionMjr() * 10 + api.CS_VersionMnr(), 12, "versions");
              checks.ExpectEq(api.CS_ProtocolFormat(), "JSON", "CS_ProtocolFormat");
              checks.ExpectEq(api.CS_Description(), "Quorvane 2019-20", "CS_Description");
              PluginInfo info{};
              api.Info(&info);
              checks.ExpectEq(info.major_version * 10 + info.minor_version, 12, "Info versions");
              checks.ExpectEq(std::string(info.name) + "|" + info.kind + "|" +
                                  info.protocol_format + "|" + info.description,
                              "Zorvel|Processor|JSON|Quorvane 2019-20", "Info texts");
            }),
            "");
}

TEST(PluginExports, BeforePrepareTheOneProcessorKnowsNoMode) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              IProcessor* first = api.GetPlugin();
              checks.Expect(first != nullptr && api.GetPlugin() == first, "one object");
              std::vector<char> buffer(1024);
              const uint32_t count =
                  first->Process(0, RequestFor("ACC").c_str(), buffer.data(), 1024);
              checks.ExpectEq(buffer.data(), kUnknownModeAnswer, "IProcessor::Process");
              checks.ExpectEq(count, kUnknownModeAnswer.size() + 1, "count");
              ExpectRefusesToGroup(api, checks, "before Prepare");
              uint32_t null_count = 0;
              checks.ExpectEq(api.Process(nullptr, 256, &null_count), "{}", "null request");
              checks.ExpectEq(null_count, 3, "null request count");
            }),
            "");
}

TEST(PluginExports, PrepareWithTheDemoTablesRegistersTheSevenModes) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              api.CS_Prepare(ZORVEL_DEMO_DIR);
              for (const char* code : kModeCodes) checks.Expect(Dispatched(api, code), code);
              // Codes compare exactly: the renal mode is "NRD", and case matters.
              for (const char* code : {"RENAL", "apc", "ACC ", ""}) {
                checks.Expect(!Dispatched(api, code), code);
              }
              uint32_t count = 0;
              const std::string schema = api.Schema(1 << 20, &count);
              checks.ExpectEq(count, schema.size() + 1, "count");
              size_t at = 0;
              for (const char* name : {"APC", "NAC", "EM", "ACC", "NCC", "PCC", "NRD"}) {
                at = schema.find(std::string(R"({"Name":")") + name + R"(","Description":)", at);
                checks.Expect(at != std::string::npos, std::string("mode in order: ") + name);
              }
              checks.Expect(schema.find(R"("MaxEpisodes":250,"HideSpellOutput":true)") !=
                                std::string::npos, "NCC limits");
              // Preparing again sets every mode up afresh, listing no field twice.
              api.CS_Prepare(ZORVEL_DEMO_DIR);
              checks.ExpectEq(api.Schema(), schema, "schema after a second Prepare");
              char small[10];
              checks.ExpectEq(api.CS_GetSchema(small, sizeof(small)), schema.size(), "short count");
              checks.ExpectEq(small, schema.substr(0, 9), "short text");
              char one = 'x';
              checks.ExpectEq(api.CS_GetSchema(&one, 1), schema.size(), "one-byte count");
              checks.Expect(one == '\0', "one-byte buffer holds the NUL");
            }),
            "");
}

TEST(PluginExports, PrepareFailsWithoutEachTableFileOrItsLocation) {
  for (const char* missing : kTableFiles) {
    DemoTablesCopy tables;
    tables.Remove(missing);
    EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
                checks.Expect(!api.CS_Prepare(tables.dir().c_str()), "CS_Prepare");
                ExpectRefusesToGroup(api, checks, "after the failure");
              }),
              "")
        << "without " << missing;
  }
  // File names are appended to the location as given: no separator is added.
  const std::string demo = ZORVEL_DEMO_DIR;
  const std::string without_separator = demo.substr(0, demo.size() - 1);
  for (const char* location : {without_separator.c_str(), static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
                checks.Expect(!api.CS_Prepare(location), "CS_Prepare");
                ExpectRefusesToGroup(api, checks, "after the failure");
              }),
              "");
  }
}

TEST(PluginExports, FailedReloadLeavesThePlugInRefusingToGroup) {
  DemoTablesCopy tables;
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              api.CS_Prepare(tables.dir().c_str());
              checks.Expect(Dispatched(api, "ACC"), "ACC after the first Prepare");
              tables.Remove("RuleDefs.csv.enc");
              checks.Expect(!api.CS_Prepare(tables.dir().c_str()), "second CS_Prepare");
              ExpectRefusesToGroup(api, checks, "after the failed reload");
            }),
            "");
}

// Tables whose cross-references resolve, and each way of breaking one: the
// load is refused as a whole, on a first load and on a reload alike.
TEST(PluginExports, CrossReferenceFaultsFailPrepare) {
  TableTexts sound = TwoRuleTexts();
  sound.triggers += "Core1,ICD,X,A,H1,,B,\n";
  sound.combinations += "Combo,A,H1\n";
  std::vector<TableTexts> faults(4, sound);
  faults[0].rule_defs += "C,DataItemInList,Procedure,,,,NoSuchList\n";
  faults[1].triggers += "Core1,ICD,Y,Nope,H2,,A,\n";
  faults[2].triggers += "Core1,ICD,Y,A,H2,,Nope,\n";
  faults[3].combinations += "Combo,Nope,H2\n";
  PackedTables sound_tables(sound);
  for (size_t i = 0; i < faults.size(); ++i) {
    PackedTables faulty(faults[i]);
    EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
                checks.Expect(!api.CS_Prepare(faulty.dir().c_str()), "first load");
                ExpectRefusesToGroup(api, checks, "after a faulty first load");
                api.CS_Prepare(sound_tables.dir().c_str());
                checks.Expect(Dispatched(api, "ACC"), "after the sound load");
                checks.Expect(!api.CS_Prepare(faulty.dir().c_str()), "reload");
                ExpectRefusesToGroup(api, checks, "after a faulty reload");
              }),
              "")
        << "fault " << i;
  }
}

TEST(PluginExports, NullOrSmallBufferAnswersZeroAndWritesNothing) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              checks.ExpectEq(api.CS_Process(0, "{}", nullptr, 4096), 0, "null buffer");
              std::vector<char> buffer(255, 'x');
              checks.ExpectEq(api.CS_Process(0, "{}", buffer.data(), 255), 0, "size 255");
              checks.ExpectEq(api.CS_Process(0, "{}", buffer.data(), 0), 0, "size 0");
              checks.Expect(std::string(buffer.begin(), buffer.end()) == std::string(255, 'x'),
                            "buffer untouched");
              checks.ExpectEq(api.CS_GetSchema(nullptr, 100), 0, "schema into null buffer");
              char one = 'x';
              checks.ExpectEq(api.CS_GetSchema(&one, 0), 0, "schema size 0");
              checks.Expect(one == 'x', "size 0 buffer untouched");
            }),
            "");
}

// A response that fits is counted with its NUL; one that does not is cut to
// size - 1 characters and a NUL, and counted without it.
TEST(PluginExports, ResponseIsTruncatedAndCountedExactly) {
  std::string request = R"({"Group":"RENAL","Spell":{"Episodes":[)";
  for (int i = 0; i < 20; ++i) {
    request += std::string(i ? "," : "") + R"({"Id":"episode)" + std::to_string(i) + "\"}";
  }
  request += "]}}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              uint32_t full_count = 0;
              const std::string full = api.Process(request.c_str(), 1 << 16, &full_count);
              checks.ExpectEq(full_count, full.size() + 1, "fitting count");
              checks.Expect(full.size() > 256, "response longer than 256");
              for (size_t size : {size_t{256}, full.size(), full.size() + 1}) {
                std::vector<char> buffer(size, 'x');
                const uint32_t count = api.CS_Process(0, request.c_str(), buffer.data(),
                                                      static_cast<uint32_t>(size));
                const bool fits = size > full.size();
                checks.ExpectEq(count, full.size() + (fits ? 1 : 0),
                                "count for size " + std::to_string(size));
                checks.Expect(buffer[size - 1] == '\0' || fits, "NUL in the last byte");
                checks.ExpectEq(buffer.data(), full.substr(0, size - 1),
                                "text for size " + std::to_string(size));
              }
            }),
            "");
}

TEST(PluginExports, DeeplyNestedRequestAnswersWithoutExhaustingTheStack) {
  const std::string prefix = R"({"Group":"X","Spell":{"Id":"s1","X":)";
  const std::string unclosed = prefix + std::string(200000, '[') + "}}";
  const std::string valid = prefix + std::string(100000, '[') + std::string(100000, ']') +
                            R"(,"Episodes":[{"Id":"e1"}]}})";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              checks.ExpectEq(api.Process(unclosed.c_str()), "{}", "unclosed");
              checks.ExpectEq(api.Process(valid.c_str()), kUnknownModeAnswer, "deep but valid");
            }),
            "");
}

}  // namespace
}  // namespace zorvel::testing
