// Feeds every document of the JSONTestSuite parsing corpus to the built
// plug-in, embedded as the value of a spell member of an otherwise valid
// request: documents that must be accepted are, documents that must be
// rejected make the whole request answer "{}", and none crashes or hangs.
#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fresh_plugin.h"

namespace zorvel::testing {
namespace {

const std::string kCorpusDir =
    std::string(ZORVEL_SHARED_DIR) + "/testdata/JSONTestSuite/test_parsing/";

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  DIR* dir = opendir(kCorpusDir.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0) {
      names.push_back(name);
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Embed(const std::string& document) {
  return "{\"Group\":\"ACC\",\"Spell\":{\"X\":" + document + "}}";
}

TEST(JsonTestSuite, EmbeddedDocumentsAreAcceptedOrRejectedAsTheCorpusSays) {
  std::vector<std::string> files = CorpusFiles();
  if (files.empty()) {
    GTEST_SKIP() << "JSONTestSuite corpus not found at " << kCorpusDir;
  }
  EXPECT_EQ(RunInFreshProcess([&](const PluginExports& api, Checks& checks) {
              for (const std::string& name : files) {
                std::string request = Embed(ReadFile(kCorpusDir + name));
                std::string response = api.Process(request.c_str(), 1 << 20);
                if (name[0] == 'y') {
                  checks.Expect(response != "{}", "accepted: " + name);
                } else if (name[0] == 'n') {
                  checks.ExpectEq(response, "{}", "rejected: " + name);
                } else {
                  checks.Expect(!response.empty(), "answered: " + name);
                }
              }
            }),
            "");
}

}  // namespace
}  // namespace zorvel::testing
