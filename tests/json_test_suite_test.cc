// Feeds every document of the JSONTestSuite parsing corpus to the built
// plug-in, embedded as the value of a spell member of an otherwise valid
// request: documents that must be accepted are, documents that must be
// rejected make the whole request answer "{}", and none crashes or hangs.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fresh_plugin.h"

namespace zorvel::testing {
namespace {

namespace fs = std::filesystem;

TEST(JsonTestSuite, EmbeddedDocumentsAreAcceptedOrRejectedAsTheCorpusSays) {
  const fs::path corpus = fs::path(ZORVEL_SHARED_DIR) / "testdata/JSONTestSuite/test_parsing";
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(corpus, error)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  if (files.empty()) GTEST_SKIP() << "JSONTestSuite corpus not found at " << corpus;
  std::sort(files.begin(), files.end());
  RunInFreshProcess([&](const PluginExports& api) {
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::ostringstream document;
      document << in.rdbuf();
      const std::string request = R"({"Group":"ACC","Spell":{"X":)" + document.str() + "}}";
      const std::string response = api.Process(request.c_str(), 1 << 20);
      const char verdict = file.filename().string()[0];
      if (verdict == 'y') EXPECT_NE(response, "{}") << "accepted: " << file;
      if (verdict == 'n') EXPECT_EQ(response, "{}") << "rejected: " << file;
      if (verdict == 'i') EXPECT_FALSE(response.empty()) << "answered: " << file;
    }
  });
}

}  // namespace
}  // namespace zorvel::testing
