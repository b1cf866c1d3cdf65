// Counts by text through the table must agree with a plain map, across the
// table's growth.
#include <map>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "text_counts.h"

namespace zorvel::cli {
namespace {

TEST(TextCounts, AgreeWithAMapThroughGrowth) {
  std::mt19937 random(11);
  TextCounts counts;
  std::map<std::string, long> expected;
  for (int i = 0; i < 50000; ++i) {
    // Texts of every length up to 40, the empty one included, some common.
    const int pick = static_cast<int>(random() % (i % 7 == 0 ? 20 : 5000));
    const std::string text = pick == 0 ? "" : std::string(pick % 40, 'x') + std::to_string(pick);
    const long count = 1 + static_cast<long>(random() % 3);
    counts.Add(text, count);
    expected[text] += count;
  }
  ASSERT_EQ(counts.size(), expected.size());
  for (const auto& [text, count] : expected) EXPECT_EQ(counts.Of(text), count) << text;
  EXPECT_EQ(counts.Of("never counted"), 0);
  // Every text is listed once, with its count.
  std::map<std::string, long> listed;
  for (size_t i = 0; i < counts.size(); ++i) {
    EXPECT_TRUE(listed.emplace(std::string(counts.Text(i)), counts.Count(i)).second);
  }
  EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace zorvel::cli
