// Tests of TableArena: pieces cut from blocks, aligned and apart, and pieces
// given back handed out again, so that tables rebuilt in one arena take no
// more memory.
#include "refdata/table_arena.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "refdata/code_table.h"

namespace zorvel {
namespace {

TEST(TableArenaTest, PiecesAreAlignedApartAndHandedOutAgainBySize) {
  TableArena arena(ArenaPieces::kFromBlocks);
  std::map<char*, size_t> pieces;
  for (size_t i = 0; i < 3000; ++i) {
    // Mostly small pieces, now and then one with a block of its own.
    const size_t bytes = i % 500 == 7 ? TableArena::kBlockBytes / 2 : 1 + i * 7 % 300;
    const size_t align = size_t{1} << (i % 7);
    char* piece = static_cast<char*>(arena.Allocate(bytes, align));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(piece) % align, 0u) << i;
    std::memset(piece, static_cast<int>(i), bytes);
    pieces[piece] = bytes;
  }
  for (auto it = pieces.begin(); std::next(it) != pieces.end(); ++it)
    ASSERT_LE(it->first + it->second, std::next(it)->first);
  for (const auto& [piece, bytes] : pieces)
    ASSERT_EQ(piece[bytes - 1], piece[0]);
  const size_t before = arena.reserved();
  arena.Allocate(3 * TableArena::kBlockBytes, 8);
  EXPECT_GE(arena.reserved() - before, 3 * TableArena::kBlockBytes);
  // Given back, a piece serves the next piece of its size, once.
  char* const a = static_cast<char*>(arena.Allocate(40, 8));
  char* const b = static_cast<char*>(arena.Allocate(40, 8));
  arena.Free(a, 40);
  arena.Free(b, 40);
  EXPECT_NE(arena.Allocate(200, 8), b);
  EXPECT_EQ(arena.Allocate(40, 8), b);
  EXPECT_EQ(arena.Allocate(40, 8), a);
  EXPECT_NE(arena.Allocate(40, 8), a);
}

TEST(TableArenaTest, TablesRebuiltInOneArenaTakeNoMoreMemory) {
  TableArena arena(ArenaPieces::kFromBlocks);
  size_t first = 0;
  for (int round = 0; round < 3; ++round) {
    std::vector<CodeTable<int>, ArenaAllocator<CodeTable<int>>> tables{
        ArenaAllocator<CodeTable<int>>(&arena)};
    for (int t = 0; t < 40; ++t) {
      tables.emplace_back(&arena);
      for (int code = 0; code < 200 * t; ++code) tables.back().Insert(std::to_string(code)) = code;
    }
    for (int t = 0; t < 40; ++t) ASSERT_EQ(tables[t].size(), 200u * t);
    EXPECT_EQ(*tables[39].Find("7799"), 7799);
    if (round == 0) first = arena.reserved();
  }
  EXPECT_EQ(arena.reserved(), first);
  // A container without an arena takes its memory from the heap.
  EXPECT_EQ(ArenaVector<int>(5, 1).get_allocator().arena(), nullptr);
}

}  // namespace
}  // namespace zorvel
