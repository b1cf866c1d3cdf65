// Host-style tests of the exported functions: each scenario loads the built
// plug-in afresh in its own process, as a host would. What a request answers
// once prepared is shown by the golden cases; these tests cover what only a
// fresh library shows: identity before first use, the CS_Prepare scenarios,
// buffers, truncation and counting.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "refdata/reference_data.h"
#include "support/fresh_plugin.h"
#include "support/packed_tables.h"

namespace zorvel::testing {
namespace {

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
void ExpectRefusesToGroup(const PluginExports& api) {
  for (const char* code : kModeCodes) EXPECT_FALSE(Dispatched(api, code)) << code;
  EXPECT_EQ(api.Schema(), kEmptySchema);
}

// A copy of the demo tables in a fresh directory.
class DemoTablesCopy : public ScratchDir {
 public:
  DemoTablesCopy() {
    for (const char* name : kTableFileNames) Write(name, ReadFile(ZORVEL_DEMO_DIR + std::string(name)));
  }
};

TEST(PluginExports, IdentityExportsAnswerBeforeAnyOtherCall) {
  RunInFreshProcess([](const PluginExports& api) {
    PluginInfo info{};
    api.Info(&info);
    EXPECT_EQ(std::to_string(api.GetVersion()) + "|" + api.CS_PluginName() + "|" +
                  std::to_string(api.CS_VersionMjr()) + "." +
                  std::to_string(api.CS_VersionMnr()) + "|" + api.CS_ProtocolFormat() +
                  "|" + api.CS_Description(),
              "11|Zorvel|1.2|JSON|Quorvane 2019-20");
    EXPECT_EQ(std::to_string(info.major_version) + "." + std::to_string(info.minor_version) +
                  "|" + info.name + "|" + info.kind + "|" + info.protocol_format + "|" +
                  info.description,
              "1.2|Zorvel|Processor|JSON|Quorvane 2019-20");
  });
}

TEST(PluginExports, BeforePrepareTheOneProcessorKnowsNoMode) {
  RunInFreshProcess([](const PluginExports& api) {
    IProcessor* first = api.GetPlugin();
    EXPECT_TRUE(first != nullptr && api.GetPlugin() == first);
    std::vector<char> buffer(1024);
    EXPECT_EQ(first->Process(0, RequestFor("ACC").c_str(), buffer.data(), 1024),
              kUnknownModeAnswer.size() + 1);
    EXPECT_EQ(buffer.data(), kUnknownModeAnswer);
    ExpectRefusesToGroup(api);
    uint32_t count = 0;
    EXPECT_EQ(api.Process(nullptr, 256, &count), "{}");
    EXPECT_EQ(count, 3u);
  });
}

TEST(PluginExports, PrepareWithTheDemoTablesRegistersTheSevenModes) {
  RunInFreshProcess([](const PluginExports& api) {
    // The demo tables are complete: every mode sets itself up.
    EXPECT_TRUE(api.CS_Prepare(ZORVEL_DEMO_DIR));
    for (const char* code : kModeCodes) EXPECT_TRUE(Dispatched(api, code)) << code;
    // Codes compare exactly: the renal mode is "NRD", and case matters.
    for (const char* code : {"RENAL", "apc", "ACC ", ""}) EXPECT_FALSE(Dispatched(api, code));
    uint32_t count = 0;
    const std::string schema = api.Schema(1 << 20, &count);
    EXPECT_EQ(count, schema.size() + 1);
    size_t at = 0;
    for (const char* name : {"APC", "NAC", "EM", "ACC", "NCC", "PCC", "NRD"}) {
      at = schema.find(std::string(R"({"Name":")") + name + R"(","Description":)", at);
      EXPECT_NE(at, std::string::npos) << "mode in order: " << name;
    }
    EXPECT_NE(schema.find(R"("MaxEpisodes":250,"HideSpellOutput":true)"), std::string::npos);
    // Preparing again sets every mode up afresh, listing no field twice.
    EXPECT_TRUE(api.CS_Prepare(ZORVEL_DEMO_DIR));
    EXPECT_EQ(api.Schema(), schema);
    char small[10];
    EXPECT_EQ(api.CS_GetSchema(small, sizeof(small)), schema.size());
    EXPECT_EQ(small, schema.substr(0, 9));
    char one = 'x';
    EXPECT_EQ(api.CS_GetSchema(&one, 1), schema.size());
    EXPECT_EQ(one, '\0');
  });
}

TEST(PluginExports, PrepareFailsWithoutEachTableFileOrItsLocation) {
  // File names are appended to the location as given: no separator is added.
  const std::string demo = ZORVEL_DEMO_DIR;
  const std::string without_separator = demo.substr(0, demo.size() - 1);
  for (const char* location : {without_separator.c_str(), static_cast<const char*>(nullptr)}) {
    RunInFreshProcess([&](const PluginExports& api) {
      EXPECT_FALSE(api.CS_Prepare(location));
      ExpectRefusesToGroup(api);
    });
  }
  // A failed load, first or after a sound one, leaves no mode registered
  // (and so does a load with a broken cross-reference, which the loader
  // reports the same way).
  for (const char* missing : kTableFileNames) {
    DemoTablesCopy tables;
    SCOPED_TRACE(std::string("without ") + missing);
    RunInFreshProcess([&](const PluginExports& api) {
      EXPECT_TRUE(api.CS_Prepare(tables.dir().c_str()));
      EXPECT_TRUE(Dispatched(api, "ACC"));
      tables.Remove(missing);
      EXPECT_FALSE(api.CS_Prepare(tables.dir().c_str()));
      ExpectRefusesToGroup(api);
    });
  }
}

// No buffer, or one below 256 bytes, is never written. A response that fits
// is counted with its NUL; one that does not is cut to size - 1 characters
// and a NUL, and counted without it.
TEST(PluginExports, ResponseIsTruncatedAndCountedExactly) {
  std::string request = R"({"Group":"RENAL","Spell":{"Episodes":[)";
  for (int i = 0; i < 20; ++i) {
    request += std::string(i ? "," : "") + R"({"Id":"episode)" + std::to_string(i) + "\"}";
  }
  request += "]}}";
  RunInFreshProcess([&](const PluginExports& api) {
    std::vector<char> untouched(255, 'x');
    EXPECT_EQ(api.CS_Process(0, "{}", nullptr, 4096), 0u);
    EXPECT_EQ(api.CS_Process(0, "{}", untouched.data(), 255), 0u);
    EXPECT_EQ(api.CS_Process(0, "{}", untouched.data(), 0), 0u);
    EXPECT_EQ(api.CS_GetSchema(nullptr, 100), 0u);
    EXPECT_EQ(api.CS_GetSchema(untouched.data(), 0), 0u);
    EXPECT_EQ(std::string(untouched.begin(), untouched.end()), std::string(255, 'x'));
    uint32_t full_count = 0;
    const std::string full = api.Process(request.c_str(), 1 << 16, &full_count);
    EXPECT_EQ(full_count, full.size() + 1);
    ASSERT_GT(full.size(), 256u);
    for (size_t size : {size_t{256}, full.size(), full.size() + 1}) {
      std::vector<char> buffer(size, 'x');
      const bool fits = size > full.size();
      EXPECT_EQ(api.CS_Process(0, request.c_str(), buffer.data(), static_cast<uint32_t>(size)),
                full.size() + (fits ? 1 : 0)) << size;
      EXPECT_EQ(buffer[size - 1], '\0') << size;
      EXPECT_EQ(std::string(buffer.data(), size - 1), full.substr(0, size - 1)) << size;
    }
  });
}

TEST(PluginExports, DeeplyNestedRequestAnswersWithoutExhaustingTheStack) {
  const std::string prefix = R"({"Group":"X","Spell":{"Id":"s1","X":)";
  const std::string unclosed = prefix + std::string(200000, '[') + "}}";
  const std::string valid = prefix + std::string(100000, '[') + std::string(100000, ']') +
                            R"(,"Episodes":[{"Id":"e1"}]}})";
  RunInFreshProcess([&](const PluginExports& api) {
    EXPECT_EQ(api.Process(unclosed.c_str()), "{}");
    EXPECT_EQ(api.Process(valid.c_str()), kUnknownModeAnswer);
  });
}

}  // namespace
}  // namespace zorvel::testing
