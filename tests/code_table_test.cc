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

TEST(CodeTableTest, TellsApartKeysOfEveryLengthByEachBit) {
  // A slot's key is read in pieces that overlap for most lengths, beside its
  // length: every bit of every byte of every length must still count.
  CodeTable<int> table;
  std::map<std::string, int> expected;
  for (size_t length = 1; length <= 15; ++length) {
    const std::string base(length, 'a');
    expected[base] = 0;
    for (size_t at = 0; at < length; ++at) {
      for (int bit = 0; bit < 8; ++bit) {
        std::string key = base;
        key[at] = static_cast<char>(key[at] ^ (1 << bit));
        expected[key] = 0;
      }
    }
  }
  int value = 0;
  for (auto& [key, number] : expected) table.Insert(key) = number = ++value;
  EXPECT_EQ(table.size(), expected.size());
  for (const auto& [key, number] : expected) {
    ASSERT_NE(table.Find(key), nullptr) << key;
    EXPECT_EQ(*table.Find(key), number) << key;
  }
  EXPECT_EQ(table.Find("bb"), nullptr);
  EXPECT_EQ(table.Find("abaaaaaaab"), nullptr);
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
