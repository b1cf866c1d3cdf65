// A hash table from code texts to values, built once at load and then only
// read: the look-up behind every validation list and code list.
//
// Codes are short (ICD-10 and OPCS-4 codes, HRGs, field values), so a key of
// up to 15 bytes is stored in its slot, packed with its length into two
// 64-bit words: a look-up hashes and compares those two words, with no
// pointer to follow and no string compare. The slots are one flat array
// probed linearly, kept at most half full. Longer keys, rare in the tables,
// go to an ordinary hash map beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <boost/unordered_map.hpp>

#include "common/word_load.h"
#include "refdata/table_arena.h"

namespace zorvel {

// Hashes and compares texts as views, so that a look-up makes no string:
// the hash is the standard library's, which takes the bytes several at a
// time, rather than the one a byte at a time that the maps have by default.
struct TextHash {
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
struct TextEqual {
  bool operator()(std::string_view a, std::string_view b) const { return a == b; }
};

// A table of values by name, its nodes taken from an arena when it is made
// with one.
template <typename Value>
using NameMap = boost::unordered_map<std::string, Value, TextHash, TextEqual,
                                     ArenaAllocator<std::pair<const std::string, Value>>>;

// An empty NameMap whose nodes come from `arena`.
template <typename Map>
Map MakeNameMap(TableArena* arena) {
  return Map(0, TextHash(), TextEqual(), typename Map::allocator_type(arena));
}

template <typename Value>
class CodeTable {
 public:
  // A table whose arrays come from `arena`, or from the heap without one.
  explicit CodeTable(TableArena* arena = nullptr)
      : keys_(ArenaAllocator<PackedKey>(arena)), values_(ArenaAllocator<Value>(arena)) {}

  // The value of `code`, or null when the table lacks it.
  const Value* Find(std::string_view code) const {
    PackedKey key;
    if (!Pack(code, &key)) {
      auto it = long_keys_.find(code, TextHash(), TextEqual());
      return it == long_keys_.end() ? nullptr : &it->second;
    }
    if (keys_.empty()) return nullptr;
    for (size_t i = Hash(key) & mask_;; i = (i + 1) & mask_) {
      if (keys_[i].hi == key.hi && keys_[i].lo == key.lo) return &values_[i];
      if (keys_[i].hi == 0) return nullptr;
    }
  }

  // The value of `code`, made value-initialised when new.
  Value& Insert(std::string_view code) {
    PackedKey key;
    if (!Pack(code, &key)) {
      auto [it, added] = long_keys_.try_emplace(std::string(code));
      if (added) ++size_;
      return it->second;
    }
    if ((short_size_ + 1) * 2 > keys_.size()) Grow();
    size_t i = Hash(key) & mask_;
    while (keys_[i].hi != 0 && (keys_[i].hi != key.hi || keys_[i].lo != key.lo))
      i = (i + 1) & mask_;
    if (keys_[i].hi == 0) {
      keys_[i] = key;
      values_[i] = Value();
      ++short_size_;
      ++size_;
    }
    return values_[i];
  }

  size_t size() const { return size_; }

  void clear() { *this = CodeTable(arena()); }

  // The arena the table's arrays come from; null for the heap.
  TableArena* arena() const { return keys_.get_allocator().arena(); }

 private:
  static constexpr size_t kInlineBytes = 15;

  // The bytes of a short key, zero-padded, byte i at bit 8 (i % 8) of `lo`
  // (i < 8) or `hi`, with its length plus one in the top byte of `hi`: `hi`
  // is never 0 for a key, and 0 marks an empty slot.
  struct PackedKey {
    uint64_t lo = 0;
    uint64_t hi = 0;
  };

  static bool Pack(std::string_view code, PackedKey* key) {
    const size_t size = code.size();
    if (size > kInlineBytes) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(code.data());
    uint64_t lo = 0;
    uint64_t hi = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The bytes of a code are read by a few loads of fixed size, which
    // overlap for a size between two: a loaded word holds byte i at bit 8 i,
    // so overlapping loads shifted into place agree where they meet.
    if (size >= 8) {
      lo = LoadWord<uint64_t>(bytes);
      if (size > 8) hi = LoadWord<uint64_t>(bytes + size - 8) >> (8 * (16 - size));
    } else if (size >= 4) {
      lo = LoadWord<uint32_t>(bytes) |
           static_cast<uint64_t>(LoadWord<uint32_t>(bytes + size - 4)) << (8 * (size - 4));
    } else if (size > 0) {
      lo = bytes[0] | static_cast<uint64_t>(bytes[size / 2]) << (8 * (size / 2)) |
           static_cast<uint64_t>(bytes[size - 1]) << (8 * (size - 1));
    }
#else
    for (size_t i = 0; i < size; ++i) {
      uint64_t& word = i < 8 ? lo : hi;
      word |= static_cast<uint64_t>(bytes[i]) << (8 * (i % 8));
    }
#endif
    key->lo = lo;
    key->hi = hi | static_cast<uint64_t>(size + 1) << 56;
    return true;
  }

  static size_t Hash(const PackedKey& key) {
    uint64_t h = key.lo * 0x9E3779B97F4A7C15ull ^ (key.hi + 0x632BE59BD9B4E019ull);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<size_t>(h);
  }

  void Grow() {
    ArenaVector<PackedKey> old_keys(keys_.empty() ? 16 : keys_.size() * 2,
                                    keys_.get_allocator());
    ArenaVector<Value> old_values(old_keys.size(), values_.get_allocator());
    old_keys.swap(keys_);  // keys_ is now the larger, empty array
    old_values.swap(values_);
    mask_ = keys_.size() - 1;
    for (size_t j = 0; j < old_keys.size(); ++j) {
      if (old_keys[j].hi == 0) continue;
      size_t i = Hash(old_keys[j]) & mask_;
      while (keys_[i].hi != 0) i = (i + 1) & mask_;
      keys_[i] = old_keys[j];
      values_[i] = std::move(old_values[j]);
    }
  }

  ArenaVector<PackedKey> keys_;
  ArenaVector<Value> values_;
  size_t mask_ = 0;
  size_t short_size_ = 0;
  size_t size_ = 0;
  boost::unordered_map<std::string, Value, TextHash, TextEqual> long_keys_;
};

}  // namespace zorvel
