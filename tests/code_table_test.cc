// Tests of CodeTable: keys kept in their slots up to 15 bytes and beside the
// slots beyond, and a table that grows as it is filled.
#include "refdata/code_table.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

TEST(CodeTableTest, TellsApartKeysThatPackAlike) {
  using namespace std::string_literals;
  // Keys whose packed bytes differ only in their length, or that straddle
  // the 15 bytes a slot holds.
  const std::string keys[] = {""s,       "\0"s,           "\0\0"s,        "A"s,
                              "A\0"s,    "A\0\0"s,        "ABCDEFGHIJKLMNO"s,
                              "ABCDEFGHIJKLMNOP"s,         "ABCDEFGHIJKLMNOPQ"s,
                              "ABCDEFGHIJKLMN"s,           std::string(15, '\0'),
                              std::string(16, '\0'),       "\xff\xff\xff\xff\xff\xff\xff\xff"s};
  CodeTable<int> table;
  int value = 0;
  for (const std::string& key : keys) table.Insert(key) = ++value;
  EXPECT_EQ(table.size(), std::size(keys));
  value = 0;
  for (const std::string& key : keys) {
    ASSERT_NE(table.Find(key), nullptr) << key.size();
    EXPECT_EQ(*table.Find(key), ++value) << key.size();
  }
  for (const std::string& absent : {"B"s, "\0\0\0"s, "ABCDEFGHIJKLMNOPQR"s, "ABCDEFGHIJKLM"s})
    EXPECT_EQ(table.Find(absent), nullptr) << absent;
}

TEST(CodeTableTest, GrowsKeepingEveryValueAndReplacesOnInsert) {
  CodeTable<std::string> table;
  std::map<std::string, std::string> expected;
  EXPECT_EQ(table.Find("A01"), nullptr);  // an empty table has no slots yet
  for (int i = 0; i < 5000; ++i) {
    // Short codes, and now and then one too long for a slot.
    const std::string key = (i % 97 == 0 ? "LONG-CODE-OF-MANY-BYTES-" : "C") + std::to_string(i);
    table.Insert(key) = "v" + std::to_string(i);
    expected[key] = "v" + std::to_string(i);
  }
  table.Insert("C7") = "again";
  table.Insert("LONG-CODE-OF-MANY-BYTES-97") = "again";
  expected["C7"] = expected["LONG-CODE-OF-MANY-BYTES-97"] = "again";
  EXPECT_EQ(table.size(), expected.size());
  for (const auto& [key, value] : expected) {
    ASSERT_NE(table.Find(key), nullptr) << key;
    EXPECT_EQ(*table.Find(key), value) << key;
  }
  EXPECT_EQ(table.Find("C5000"), nullptr);
  table.clear();
  EXPECT_EQ(table.size(), 0u);
  EXPECT_EQ(table.Find("C7"), nullptr);
}

}  // namespace
}  // namespace zorvel
