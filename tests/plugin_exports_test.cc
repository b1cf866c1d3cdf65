// Host-style tests of the exported functions: each scenario loads the built
// plug-in afresh in its own process, as a host would.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fresh_plugin.h"

namespace zorvel::testing {
namespace {

constexpr char kUnknownModeError[] =
    "{\"Field\":\"PLUGIN\",\"Message\":\"Unknown grouping method, please use "
    "APC/ACC/PCC/NAC/EM/NCC/RENAL\",\"Value\":\"\",\"Index\":\"\","
    "\"Section\":\"episode\"}";

const char* const kTableFiles[] = {
    "ValidationLists.csv.enc", "Lists.csv.enc",       "RuleDefs.csv.enc",
    "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc", "Code.csv.enc"};

const char* const kModeCodes[] = {"ACC", "APC", "EM", "NAC",
                                  "NCC", "NRD", "PCC"};

std::string RequestFor(const std::string& code) {
  return "{\"Group\":\"" + code +
         "\",\"Spell\":{\"Id\":\"s1\",\"Episodes\":[{\"Id\":\"e1\"}]}}";
}

std::string UnknownModeAnswer() {
  return std::string("{\"Success\":false,\"Errors\":[") + kUnknownModeError +
         "],\"Episodes\":[{\"Id\":\"e1\",\"Success\":false}]}";
}

bool IsUnknownModeAnswer(const std::string& response) {
  return response.find("Unknown grouping method") != std::string::npos;
}

// A copy of the demo tables in a fresh directory, removed afterwards.
class DemoTablesCopy {
 public:
  DemoTablesCopy() {
    char pattern[] = "/tmp/zorvel_demo_XXXXXX";
    dir_ = std::string(mkdtemp(pattern)) + "/";
    for (const char* name : kTableFiles) {
      std::ifstream in(std::string(ZORVEL_DEMO_DIR) + name, std::ios::binary);
      std::ofstream out(dir_ + name, std::ios::binary);
      out << in.rdbuf();
    }
  }
  ~DemoTablesCopy() {
    for (const char* name : kTableFiles) std::remove((dir_ + name).c_str());
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
              checks.ExpectEq(api.CS_VersionMjr(), 1, "CS_VersionMjr");
              checks.ExpectEq(api.CS_VersionMnr(), 2, "CS_VersionMnr");
              checks.ExpectEq(api.CS_ProtocolFormat(), "JSON",
                              "CS_ProtocolFormat");
              checks.ExpectEq(api.CS_Description(), "Quorvane 2019-20",
                              "CS_Description");
              PluginInfo info{};
              api.Info(&info);
              checks.ExpectEq(info.major_version, 1, "Info major");
              checks.ExpectEq(info.minor_version, 2, "Info minor");
              checks.ExpectEq(info.name, "Zorvel", "Info name");
              checks.ExpectEq(info.kind, "Processor", "Info kind");
              checks.ExpectEq(info.protocol_format, "JSON", "Info format");
              checks.ExpectEq(info.description, "Quorvane 2019-20",
                              "Info description");
            }),
            "");
}

TEST(PluginExports, GetPluginTwiceReturnsTheSameObject) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              std::vector<char> buffer(1024);
              api.CS_Process(0, "{}", buffer.data(), 1024);
              IProcessor* first = api.GetPlugin();
              checks.Expect(first != nullptr, "GetPlugin is not null");
              checks.Expect(api.GetPlugin() == first, "same pointer twice");
            }),
            "");
}

TEST(PluginExports, ProcessThroughTheObjectMatchesTheExport) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              std::vector<char> buffer(1024);
              uint32_t count = api.GetPlugin()->Process(
                  0, RequestFor("ACC").c_str(), buffer.data(), 1024);
              checks.ExpectEq(buffer.data(), UnknownModeAnswer(),
                              "IProcessor::Process");
              checks.ExpectEq(count, UnknownModeAnswer().size() + 1, "count");
            }),
            "");
}

TEST(PluginExports, EveryModeIsUnknownBeforePrepare) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              uint32_t count = 0;
              for (const char* code : kModeCodes) {
                checks.ExpectEq(api.Process(RequestFor(code).c_str(), 1024,
                                            &count),
                                UnknownModeAnswer(), code);
              }
              checks.ExpectEq(count, UnknownModeAnswer().size() + 1, "count");
            }),
            "");
}

TEST(PluginExports, PrepareWithTheDemoTablesRegistersTheSevenModes) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              api.CS_Prepare(ZORVEL_DEMO_DIR);
              for (const char* code : kModeCodes) {
                checks.Expect(!IsUnknownModeAnswer(
                                  api.Process(RequestFor(code).c_str())),
                              std::string("dispatched to ") + code);
              }
              // Codes compare exactly: the renal mode is "NRD", and case
              // matters.
              for (const char* code : {"RENAL", "apc", "ACC ", ""}) {
                checks.ExpectEq(api.Process(RequestFor(code).c_str()),
                                UnknownModeAnswer(), code);
              }
            }),
            "");
}

TEST(PluginExports, PrepareFailsForEachMissingTableFile) {
  for (const char* missing : kTableFiles) {
    DemoTablesCopy tables;
    tables.Remove(missing);
    EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
                checks.Expect(!api.CS_Prepare(tables.dir().c_str()),
                              "CS_Prepare answers false");
                checks.ExpectEq(api.Process(RequestFor("ACC").c_str()),
                                UnknownModeAnswer(), "ACC after the failure");
              }),
              "")
        << "without " << missing;
  }
}

TEST(PluginExports, PrepareAppendsFileNamesToTheLocationWithoutSeparator) {
  std::string demo = ZORVEL_DEMO_DIR;
  std::string without_separator = demo.substr(0, demo.size() - 1);
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              checks.Expect(!api.CS_Prepare(without_separator.c_str()),
                            "CS_Prepare answers false");
              checks.ExpectEq(api.Process(RequestFor("NRD").c_str()),
                              UnknownModeAnswer(), "NRD after the failure");
            }),
            "");
}

TEST(PluginExports, PrepareWithNullLocationFails) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              checks.Expect(!api.CS_Prepare(nullptr), "CS_Prepare(null)");
              checks.ExpectEq(api.Process(RequestFor("ACC").c_str()),
                              UnknownModeAnswer(), "ACC");
            }),
            "");
}

TEST(PluginExports, RepeatedPrepareThatFailsLeavesThePlugInRefusingToGroup) {
  DemoTablesCopy tables;
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              api.CS_Prepare(tables.dir().c_str());
              checks.Expect(!IsUnknownModeAnswer(
                                api.Process(RequestFor("ACC").c_str())),
                            "ACC dispatched after the first Prepare");
              tables.Remove("RuleDefs.csv.enc");
              checks.Expect(!api.CS_Prepare(tables.dir().c_str()),
                            "second CS_Prepare answers false");
              for (const char* code : kModeCodes) {
                checks.ExpectEq(api.Process(RequestFor(code).c_str()),
                                UnknownModeAnswer(), code);
              }
              checks.ExpectEq(api.Schema(),
                              "{\"SchemaHeader\":{\"Format\":\"SpellEpisode\","
                              "\"Version\":\"1.4\"},\"SpellEpisode\":{"
                              "\"Modes\":[]}}",
                              "schema lists no mode");
            }),
            "");
}

TEST(PluginExports, UnparseableOrWronglyShapedRequestsAnswerEmptyObject) {
  const char* const requests[] = {
      "",
      "   ",
      "{\"Group\":\"ACC\",\"Spell\":{}} x",
      "{\"Group\":\"ACC\",\"Spell\":{}}{}",
      "{\"Group\":\"ACC\",\"Spell\":{},}",
      "{\"Group\":\"ACC\",\"Spell\":{}} // comment",
      "[]",
      "\"Group\"",
      "{}",
      "{\"Spell\":{}}",
      "{\"Group\":1,\"Spell\":{}}",
      "{\"Group\":null,\"Spell\":{}}",
      "{\"Group\":\"ACC\"}",
      "{\"Group\":\"ACC\",\"Spell\":[]}",
      "{\"Group\":\"ACC\",\"Spell\":\"x\"}",
      "{\"Group\":\"ACC\",\"Spell\":{\"Episodes\":{}}}",
      "{\"Group\":\"ACC\",\"Spell\":{\"EpisodesX\":\"a\"}}",
      "{\"Group\":\"ACC\",\"Spell\":{\"Episodes\":[1]}}",
      "{\"Group\":\"ACC\",\"Spell\":{\"Episodes\":[{},[]]}}",
  };
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              for (const char* request : requests) {
                uint32_t count = 0;
                checks.ExpectEq(api.Process(request, 256, &count), "{}",
                                std::string("request ") + request);
                checks.ExpectEq(count, 3, std::string("count ") + request);
              }
              uint32_t count = 0;
              checks.ExpectEq(api.Process(nullptr, 256, &count), "{}",
                              "null request");
              checks.ExpectEq(count, 3, "null request count");
            }),
            "");
}

TEST(PluginExports, DeeplyNestedRequestAnswersEmptyObjectWithoutCrashing) {
  std::string deep = "{\"Group\":\"ACC\",\"Spell\":{\"X\":" +
                     std::string(200000, '[') + "}}";
  std::string deep_valid = "{\"Group\":\"ACC\",\"Spell\":{\"X\":" +
                           std::string(100000, '[') +
                           std::string(100000, ']') + "}}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              checks.ExpectEq(api.Process(deep.c_str()), "{}", "unclosed");
              checks.Expect(IsUnknownModeAnswer(api.Process(deep_valid.c_str())),
                            "deep but valid request is answered");
            }),
            "");
}

TEST(PluginExports, EpisodesPrefixMembersHoldTheEpisodeList) {
  const std::string request =
      "{\"Group\":\"X\",\"Spell\":{\"Id\":\"s\",\"Episodes1\":[{\"Id\":\"a\"}],"
      "\"Age\":\"3\",\"EpisodesB\":[{\"Id\":\"b\",\"Age\":5},{\"Id\":\"c\","
      "\"Id\":\"d\"},{}]}}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              checks.ExpectEq(
                  api.Process(request.c_str()),
                  std::string("{\"Success\":false,\"Errors\":[") +
                      kUnknownModeError +
                      "],\"Episodes\":[{\"Id\":\"a\",\"Success\":false},"
                      "{\"Id\":\"b\",\"Success\":false},"
                      "{\"Id\":\"d\",\"Success\":false},{\"Success\":false}]}",
                  "episodes from both lists, later Id wins, numeric ignored");
            }),
            "");
}

TEST(PluginExports, NullOrSmallBufferAnswersZeroAndWritesNothing) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              checks.ExpectEq(api.CS_Process(0, "{}", nullptr, 4096), 0,
                              "null buffer");
              std::vector<char> buffer(255, 'x');
              checks.ExpectEq(api.CS_Process(0, "{}", buffer.data(), 255), 0,
                              "size 255");
              checks.Expect(std::string(buffer.begin(), buffer.end()) ==
                                std::string(255, 'x'),
                            "buffer untouched");
              checks.ExpectEq(api.CS_GetSchema(nullptr, 100), 0,
                              "schema into null buffer");
              char one = 'x';
              checks.ExpectEq(api.CS_GetSchema(&one, 0), 0, "schema size 0");
              checks.Expect(one == 'x', "size 0 buffer untouched");
            }),
            "");
}

TEST(PluginExports, ResponseIsTruncatedAtExactly256Bytes) {
  std::string episodes;
  for (int i = 0; i < 20; ++i) {
    episodes += std::string(i ? "," : "") + "{\"Id\":\"episode" +
                std::to_string(i) + "\"}";
  }
  const std::string request =
      "{\"Group\":\"RENAL\",\"Spell\":{\"Episodes\":[" + episodes + "]}}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              uint32_t full_count = 0;
              std::string full = api.Process(request.c_str(), 1 << 16,
                                             &full_count);
              checks.ExpectEq(full_count, full.size() + 1, "fitting count");
              checks.Expect(full.size() > 256, "response longer than 256");
              std::vector<char> buffer(256, 'x');
              uint32_t count =
                  api.CS_Process(0, request.c_str(), buffer.data(), 256);
              checks.ExpectEq(count, full.size(), "truncated count");
              checks.Expect(buffer[255] == '\0', "NUL in the last byte");
              checks.ExpectEq(std::string(buffer.data(), 255),
                              full.substr(0, 255), "first 255 characters");
              // A response of exactly size - 1 characters still fits.
              uint32_t exact = api.CS_Process(0, request.c_str(),
                                               buffer.data(), 0) ;
              checks.ExpectEq(exact, 0, "size 0");
              std::vector<char> tight(full.size() + 1, 'x');
              checks.ExpectEq(api.CS_Process(0, request.c_str(), tight.data(),
                                             full.size() + 1),
                              full.size() + 1, "exact fit count");
              checks.ExpectEq(tight.data(), full, "exact fit text");
              std::vector<char> short_by_one(full.size(), 'x');
              checks.ExpectEq(api.CS_Process(0, request.c_str(),
                                             short_by_one.data(), full.size()),
                              full.size(), "one byte short count");
              checks.ExpectEq(short_by_one.data(),
                              full.substr(0, full.size() - 1),
                              "one byte short text");
            }),
            "");
}

TEST(PluginExports, ControlCharactersAreEscapedAndHighBytesCopied) {
  const std::string request =
      "{\"Group\":\"X\",\"Spell\":{\"Episodes\":[{\"Id\":"
      "\"a\\u0001\\u001fb\\\"\\\\\\n\\t\\b\\f\\r/\\u007f\xC3\xA9\\u0000z\"}]}}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              checks.ExpectEq(
                  api.Process(request.c_str()),
                  std::string("{\"Success\":false,\"Errors\":[") +
                      kUnknownModeError +
                      "],\"Episodes\":[{\"Id\":\"a\\u0001\\u001Fb\\\"\\\\\\n"
                      "\\t\\b\\f\\r/\x7f\xC3\xA9\\u0000z\",\"Success\":false}]}",
                  "escaped Id");
            }),
            "");
}

TEST(PluginExports, MaxErrorsLimitsNothing) {
  const std::string plain = RequestFor("ACC");
  const std::string limited =
      "{\"Group\":\"ACC\",\"MaxErrors\":\"1\",\"Spell\":{\"Id\":\"s1\","
      "\"Episodes\":[{\"Id\":\"e1\"}]}}";
  const std::string limited_int =
      "{\"Group\":\"ACC\",\"MaxErrors\":1,\"Spell\":{\"Id\":\"s1\","
      "\"Episodes\":[{\"Id\":\"e1\"}]}}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              api.CS_Prepare(ZORVEL_DEMO_DIR);
              std::string unlimited = api.Process(plain.c_str());
              size_t errors = 0;
              for (size_t at = unlimited.find("\"Field\"");
                   at != std::string::npos;
                   at = unlimited.find("\"Field\"", at + 1)) {
                ++errors;
              }
              checks.Expect(errors >= 2, "several errors: " + unlimited);
              checks.ExpectEq(api.Process(limited.c_str()), unlimited,
                              "MaxErrors \"1\"");
              checks.ExpectEq(api.Process(limited_int.c_str()), unlimited,
                              "MaxErrors 1");
            }),
            "");
}

TEST(PluginExports, UnreadableMaxErrorsAnswersAsAFailedGrouping) {
  const std::string internal_error =
      "{\"Field\":\"PLUGIN\",\"Message\":\"Internal grouping processor "
      "error\",\"Value\":\"\",\"Index\":\"\",\"Section\":\"episode\"}";
  const std::string answer = "{\"Success\":false,\"Errors\":[" +
                             internal_error +
                             "],\"Episodes\":[{\"Id\":\"e1\",\"Success\":"
                             "false}]}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              for (const char* max_errors :
                   {"\"abc\"", "\"\"", "\"99999999999\"", "\"-\""}) {
                std::string request =
                    std::string("{\"Group\":\"ACC\",\"MaxErrors\":") +
                    max_errors +
                    ",\"Spell\":{\"Id\":\"s1\",\"Episodes\":[{\"Id\":\"e1\"}]}}";
                checks.ExpectEq(api.Process(request.c_str()), answer,
                                std::string("MaxErrors ") + max_errors);
              }
              // A leading number is enough, as is any other kind of value.
              for (const char* max_errors : {"\" 12abc\"", "true", "2.5"}) {
                std::string request =
                    std::string("{\"Group\":\"ACC\",\"MaxErrors\":") +
                    max_errors +
                    ",\"Spell\":{\"Id\":\"s1\",\"Episodes\":[{\"Id\":\"e1\"}]}}";
                checks.ExpectEq(api.Process(request.c_str()),
                                UnknownModeAnswer(),
                                std::string("MaxErrors ") + max_errors);
              }
            }),
            "");
}

TEST(PluginExports, ExtraItemsAreNotWrittenWhenGroupingIsNotDone) {
  const std::string request =
      "{\"Group\":\"NCC\",\"ExtraSpellItems\":[\"Age\"],"
      "\"ExtraEpisodeItems\":[\"Age\"],\"Spell\":{\"Id\":\"s1\",\"Age\":\"4\","
      "\"Episodes\":[{\"Id\":\"e1\",\"Age\":\"4\"}]}}";
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              std::string response = api.Process(request.c_str());
              checks.Expect(response.find("\"Age\"") == std::string::npos,
                            "no Age before Prepare: " + response);
            }),
            "");
}

TEST(PluginExports, SchemaBeforePrepareListsNoMode) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              uint32_t count = 0;
              const std::string expected =
                  "{\"SchemaHeader\":{\"Format\":\"SpellEpisode\",\"Version\":"
                  "\"1.4\"},\"SpellEpisode\":{\"Modes\":[]}}";
              checks.ExpectEq(api.Schema(1 << 16, &count), expected, "schema");
              checks.ExpectEq(count, expected.size() + 1, "count");
            }),
            "");
}

TEST(PluginExports, SchemaAfterPrepareListsTheModesInTheirFixedOrder) {
  EXPECT_EQ(RunInFreshProcess([](const PluginExports& api, Checks& checks) {
              api.CS_Prepare(ZORVEL_DEMO_DIR);
              uint32_t count = 0;
              std::string schema = api.Schema(1 << 20, &count);
              checks.ExpectEq(count, schema.size() + 1, "count");
              size_t at = 0;
              for (const char* name :
                   {"APC", "NAC", "EM", "ACC", "NCC", "PCC", "NRD"}) {
                std::string key = std::string("{\"Name\":\"") + name +
                                  "\",\"Description\":";
                size_t found = schema.find(key, at);
                checks.Expect(found != std::string::npos,
                              std::string("mode in order: ") + name);
                if (found != std::string::npos) at = found;
              }
              checks.Expect(schema.find("\"MaxEpisodes\":250,"
                                        "\"HideSpellOutput\":true") !=
                                std::string::npos,
                            "NCC limits");
              // Truncated to a small buffer: the full length comes back.
              char small[10];
              checks.ExpectEq(api.CS_GetSchema(small, sizeof(small)),
                              schema.size(), "truncated count");
              checks.ExpectEq(small, schema.substr(0, 9), "truncated text");
              char one = 'x';
              checks.ExpectEq(api.CS_GetSchema(&one, 1), schema.size(),
                              "one-byte buffer count");
              checks.Expect(one == '\0', "one-byte buffer holds the NUL");
            }),
            "");
}

}  // namespace
}  // namespace zorvel::testing
