// Record and Spell: the units of data that every grouping mode reads and
// writes. Values stay text exactly as received; derived items are written
// back as text under their data item names.
//
// A record keeps its items in flat slots: an array of name hashes that a
// look-up scans while the record is small and finds through an index once it
// is not, beside slots that hold the name and the value. A slot
// never moves once made, so a reference to a value stays valid until the
// record is cleared or destroyed, as it would in a map. Clearing keeps the
// slots and their string capacity for the next request, so a record reused
// across calls allocates nothing once it has seen requests of that shape.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/grouping_error.h"
#include "common/grouping_trace.h"
#include "common/word_load.h"

namespace zorvel {

// The items of a record in byte-wise name order, as tests compare them.
using SingleValues = std::map<std::string, std::string, std::less<>>;
using ListValues = std::map<std::string, std::vector<std::string>, std::less<>>;

// The hash under which a record files an item name. Names are short, so
// their bytes are taken by a few loads of fixed size (overlapping as the
// length needs, which together cover every byte) and mixed by multiplying,
// rather than one byte at a time; a name past 16 bytes is taken eight bytes
// at a time.
inline uint32_t HashItemName(std::string_view name) {
  constexpr uint64_t kMix = 0x9E3779B97F4A7C15u;
  const size_t size = name.size();
  const char* bytes = name.data();
  uint64_t lo = 0;
  uint64_t hi = 0;
  uint64_t hash = size;
  if (size > 16) {
    size_t at = 0;
    for (; at + 16 < size; at += 8) {
      hash = (hash ^ LoadWord<uint64_t>(bytes + at)) * kMix;
    }
    bytes += at;
    lo = LoadWord<uint64_t>(bytes);
    hi = LoadWord<uint64_t>(bytes + (size - at) - 8);
  } else if (size >= 8) {
    lo = LoadWord<uint64_t>(bytes);
    hi = LoadWord<uint64_t>(bytes + size - 8);
  } else if (size >= 4) {
    lo = LoadWord<uint32_t>(bytes);
    hi = LoadWord<uint32_t>(bytes + size - 4);
  } else if (size > 0) {
    lo = static_cast<unsigned char>(bytes[0]) |
         static_cast<unsigned>(static_cast<unsigned char>(bytes[size / 2])) << 8 |
         static_cast<unsigned>(static_cast<unsigned char>(bytes[size - 1])) << 16;
  }
  hash = (hash ^ lo) * kMix;
  hash = (hash ^ (hash >> 29) ^ hi) * 0xBF58476D1CE4E5B9u;
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

// Whether two item names are the same. Names are short, so they are
// compared by two loads of fixed size from each, overlapping as the length
// needs, rather than by a call to compare memory; a name past 16 bytes is
// compared as usual.
inline bool SameItemName(std::string_view a, std::string_view b) {
  const size_t size = a.size();
  if (size != b.size()) return false;
  const char* x = a.data();
  const char* y = b.data();
  if (size > 16) return a == b;
  if (size >= 8) {
    return LoadWord<uint64_t>(x) == LoadWord<uint64_t>(y) &&
           LoadWord<uint64_t>(x + size - 8) == LoadWord<uint64_t>(y + size - 8);
  }
  if (size >= 4) {
    return LoadWord<uint32_t>(x) == LoadWord<uint32_t>(y) &&
           LoadWord<uint32_t>(x + size - 4) == LoadWord<uint32_t>(y + size - 4);
  }
  for (size_t i = 0; i < size; ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

// An item name with its hash, worked out once where the name is known in
// advance (the output field lists, the reader's episode member names).
struct ItemKey {
  ItemKey() = default;
  explicit ItemKey(std::string_view item_name)
      : name(item_name), hash(HashItemName(item_name)) {}
  // A name whose hash was worked out before.
  constexpr ItemKey(std::string_view item_name, uint32_t item_hash)
      : name(item_name), hash(item_hash) {}
  std::string_view name;
  uint32_t hash = 0;
};

// Makes `value` a copy of `text`. A value kept from the last request is
// mostly as long as the new text or longer: it is then overwritten in place
// and cut, which needs no call into the string's library code. A short text
// is otherwise made as a new string and moved in, which needs none either
// (a string holds up to 15 characters without an allocation).
inline void OverwriteText(std::string& value, std::string_view text) {
  constexpr size_t kShortText = 15;
  const size_t size = text.size();
  if (value.size() < size) {
    if (size <= kShortText) {
      value = std::string(text);
    } else {
      value.assign(text.data(), size);
    }
    return;
  }
  // Moved, not copied: a text may be a view of the value itself.
  if (size != 0) std::memmove(value.data(), text.data(), size);
  value.erase(size);
}

// Marks an accessor by name that makes the name's key where it is called.
#define ZORVEL_KEYED __attribute__((always_inline))

// Named values of one type, in flat slots; see the file comment.
template <typename Value>
class ItemSlots {
 public:
  ItemSlots() = default;
  ItemSlots(const ItemSlots& other) { CopyFrom(other); }
  ItemSlots& operator=(const ItemSlots& other) {
    if (this != &other) {
      Clear();
      CopyFrom(other);
    }
    return *this;
  }
  ItemSlots(ItemSlots&& other) noexcept
      : hashes_(std::move(other.hashes_)),
        slots_(std::move(other.slots_)),
        index_(std::move(other.index_)),
        refillable_(std::exchange(other.refillable_, 0)) {}
  ItemSlots& operator=(ItemSlots&& other) noexcept {
    hashes_ = std::move(other.hashes_);
    slots_ = std::move(other.slots_);
    index_ = std::move(other.index_);
    refillable_ = std::exchange(other.refillable_, 0);
    return *this;
  }

  // The value filed under `key`, or null.
  Value* Find(const ItemKey& key) const {
    if (index_.empty()) {
      const size_t n = hashes_.size();
      for (size_t i = 0; i < n; ++i) {
        if (Holds(i, key)) return &slots_[i]->value;
      }
      return nullptr;
    }
    const size_t mask = index_.size() - 1;
    for (size_t at = key.hash & mask;; at = (at + 1) & mask) {
      const uint32_t entry = index_[at];
      if (entry == 0) return nullptr;
      if (Holds(entry - 1, key)) return &slots_[entry - 1]->value;
    }
  }

  // The value filed under `key`, made empty when absent.
  Value& Get(const ItemKey& key) {
    if (Value* value = RefillEmpty(key.name)) return *value;
    if (Value* value = Find(key)) return *value;
    return Add(key);
  }

  // Files `name` without a look-up when the record is being filled in the
  // order it was filled before its last Clear: when the next slot held
  // `name` then, and every item filed since the Clear went back into the
  // slot it held. The names in use before the Clear were distinct, so
  // `name` cannot be filed already. Returns the slot's value as it was,
  // for the caller to overwrite; null when the order does not hold.
  Value* Refill(std::string_view name) {
    const size_t n = hashes_.size();
    if (n >= refillable_) return nullptr;
    Slot& slot = *slots_[n];
    if (!SameItemName(slot.name, name)) return nullptr;
    File(n, slot.hash);
    return &slot.value;
  }

  // A value to set for `name` when the record lacks it (new and filed, or
  // refilled with its old content, for the caller to overwrite); null when
  // the record holds `name` already.
  Value* AddIfAbsent(const ItemKey& key) {
    if (Value* value = Refill(key.name)) return value;
    return Find(key) == nullptr ? &Add(key) : nullptr;
  }

  // The value filed under `key`, made when absent, with its content left
  // as it was (a refilled or reused slot keeps its old text) for the caller
  // to overwrite whole: a value set again in each request is then mostly
  // written over its own last text.
  Value& Put(const ItemKey& key) {
    if (Value* value = Refill(key.name)) return *value;
    if (Value* value = Find(key)) return *value;
    return AddAsIs(key);
  }

  // Files a new empty value under `key`, which must be absent.
  Value& Add(const ItemKey& key) {
    Value& value = AddAsIs(key);
    value.clear();
    return value;
  }

  // Forgets every item but keeps the slots for reuse; an unusually large
  // request does not pin its storage, past a bound of slots and of the
  // capacity kept in each.
  void Clear() {
    // Only the slots in use can have grown since the last Clear.
    for (size_t i = 0; i < hashes_.size(); ++i) {
      Value& value = slots_[i]->value;
      if (value.capacity() > kKeptCapacity) Value().swap(value);
    }
    if (slots_.size() > kKeptSlots) slots_.resize(kKeptSlots);
    refillable_ = std::min(hashes_.size(), slots_.size());
    hashes_.clear();
    if (index_.size() > kKeptIndex) {
      std::vector<uint32_t>().swap(index_);
    } else {
      std::fill(index_.begin(), index_.end(), 0);
    }
  }

  size_t size() const { return hashes_.size(); }
  bool empty() const { return hashes_.empty(); }
  const std::string& name(size_t i) const { return slots_[i]->name; }
  const Value& value(size_t i) const { return slots_[i]->value; }

 private:
  static constexpr size_t kKeptSlots = 512;
  static constexpr size_t kKeptCapacity = 4096;
  // Up to this many items a look-up scans the hashes; past it they are
  // also entered in an open-addressed index, kept at most half full.
  static constexpr size_t kScanned = 8;
  static constexpr size_t kFirstIndex = 64;
  static constexpr size_t kKeptIndex = 2 * kKeptSlots;

  struct Slot {
    std::string name;
    uint32_t hash = 0;
    Value value;
  };

  bool Holds(size_t i, const ItemKey& key) const {
    return hashes_[i] == key.hash && SameItemName(slots_[i]->name, key.name);
  }

  // Files a new value under `key`, which must be absent, in the next slot;
  // the value is what the slot held before.
  Value& AddAsIs(const ItemKey& key) {
    const size_t n = hashes_.size();
    if (n == slots_.size()) slots_.push_back(std::make_unique<Slot>());
    Slot& slot = *slots_[n];
    // A record reused for requests of one shape mostly refiles an item in
    // the slot that held it last time.
    if (!SameItemName(slot.name, key.name)) {
      slot.name.assign(key.name.data(), key.name.size());
      // The slots from here on may now repeat a name in use.
      refillable_ = std::min(refillable_, n);
    }
    slot.hash = key.hash;
    File(n, key.hash);
    return slot.value;
  }

  // Refill, with the value made empty.
  Value* RefillEmpty(std::string_view name) {
    Value* value = Refill(name);
    if (value != nullptr) value->clear();
    return value;
  }

  // Makes slot n, named with `hash`, the next item in use.
  void File(size_t n, uint32_t hash) {
    hashes_.push_back(hash);
    if (!index_.empty()) {
      if (2 * hashes_.size() > index_.size()) {
        Reindex(2 * index_.size());
      } else {
        Enter(n);
      }
    } else if (hashes_.size() > kScanned) {
      Reindex(kFirstIndex);
    }
  }

  // Enters item i in the index, which has room.
  void Enter(size_t i) {
    const size_t mask = index_.size() - 1;
    size_t at = hashes_[i] & mask;
    while (index_[at] != 0) at = (at + 1) & mask;
    index_[at] = static_cast<uint32_t>(i + 1);
  }

  // Makes the index `size` entries (a power of two) and enters every item.
  void Reindex(size_t size) {
    index_.assign(size, 0);
    for (size_t i = 0; i < hashes_.size(); ++i) Enter(i);
  }

  void CopyFrom(const ItemSlots& other) {
    for (size_t i = 0; i < other.size(); ++i) {
      Add(ItemKey(other.name(i))) = other.value(i);
    }
  }

  // One hash per item in use; slots_[i] holds item i. Slots past the items
  // in use are spare.
  std::vector<uint32_t> hashes_;
  std::vector<std::unique_ptr<Slot>> slots_;
  // Empty, or a power-of-two table of item positions plus one (0 for a
  // free entry) by hash, holding every item in use.
  std::vector<uint32_t> index_;
  // Slots [0, refillable_) held distinct names at the last Clear and, as
  // far as items have been filed since, have kept them; see Refill.
  size_t refillable_ = 0;
};

// One episode; also the base of the spell.
struct Record {
  bool success = false;
  std::vector<GroupingError> errors;
  // The steps of this record's grouping, when the request asked for them.
  GroupingTrace trace;

  // Every accessor by name comes in two forms: by an ItemKey, and by a name
  // from which the key is made at the call, always inlined, so that the
  // hash of a literal name is worked out at compile time.

  // The single value of `name`, or null when the record lacks it.
  const std::string* FindSingle(const ItemKey& key) const {
    return singles_.Find(key);
  }
  std::string* FindSingle(const ItemKey& key) { return singles_.Find(key); }
  ZORVEL_KEYED const std::string* FindSingle(std::string_view name) const {
    return FindSingle(ItemKey(name));
  }
  ZORVEL_KEYED std::string* FindSingle(std::string_view name) {
    return FindSingle(ItemKey(name));
  }
  // The list value of `name`, or null when the record lacks it.
  const std::vector<std::string>* FindList(const ItemKey& key) const {
    return lists_.Find(key);
  }
  std::vector<std::string>* FindList(const ItemKey& key) {
    return lists_.Find(key);
  }
  ZORVEL_KEYED const std::vector<std::string>* FindList(
      std::string_view name) const {
    return FindList(ItemKey(name));
  }
  ZORVEL_KEYED std::vector<std::string>* FindList(std::string_view name) {
    return FindList(ItemKey(name));
  }

  // Subscript access: the value of `name`, created empty when absent.
  std::string& Single(const ItemKey& key) { return singles_.Get(key); }
  ZORVEL_KEYED std::string& Single(std::string_view name) {
    return Single(ItemKey(name));
  }
  std::vector<std::string>& List(const ItemKey& key) { return lists_.Get(key); }
  ZORVEL_KEYED std::vector<std::string>& List(std::string_view name) {
    return List(ItemKey(name));
  }

  // `name` filed without a look-up while the record is filled in the order
  // it was filled last time, its value left as it was for the caller to
  // overwrite; null otherwise (see ItemSlots::Refill).
  std::string* RefillSingle(std::string_view name) {
    return singles_.Refill(name);
  }
  std::vector<std::string>* RefillList(std::string_view name) {
    return lists_.Refill(name);
  }

  // True when `name` is absent or empty (does not create it).
  bool IsBlank(const ItemKey& key) const {
    const std::string* value = FindSingle(key);
    return value == nullptr || value->empty();
  }
  ZORVEL_KEYED bool IsBlank(std::string_view name) const {
    return IsBlank(ItemKey(name));
  }

  // Sets `name` to `value`, replacing any existing value. A text is written
  // over the slot's old one; a string made for the purpose is moved in.
  void Set(const ItemKey& key, std::string_view value) {
    OverwriteText(singles_.Put(key), value);
  }
  void Set(const ItemKey& key, const char* value) {
    Set(key, std::string_view(value));
  }
  void Set(const ItemKey& key, std::string&& value) {
    singles_.Put(key) = std::move(value);
  }
  ZORVEL_KEYED void Set(std::string_view name, std::string_view value) {
    Set(ItemKey(name), value);
  }
  ZORVEL_KEYED void Set(std::string_view name, const char* value) {
    Set(ItemKey(name), std::string_view(value));
  }
  ZORVEL_KEYED void Set(std::string_view name, std::string&& value) {
    Set(ItemKey(name), std::move(value));
  }
  // Inserts `name` = `value` unless the record already holds `name`.
  void Insert(const ItemKey& key, std::string_view value) {
    if (std::string* slot = singles_.AddIfAbsent(key)) OverwriteText(*slot, value);
  }
  ZORVEL_KEYED void Insert(std::string_view name, std::string_view value) {
    Insert(ItemKey(name), value);
  }
  // Inserts the list `name` = `values` unless the record already holds it.
  void InsertList(const ItemKey& key, const std::vector<std::string>& values) {
    if (std::vector<std::string>* slot = lists_.AddIfAbsent(key)) *slot = values;
  }
  ZORVEL_KEYED void InsertList(std::string_view name,
                               const std::vector<std::string>& values) {
    InsertList(ItemKey(name), values);
  }

  // Appends an error; a traced record also gets an "Error" step.
  void AddError(GroupingError error) {
    if (trace.on()) TraceError(error);
    errors.push_back(std::move(error));
  }

  // Makes this a new default record (success false, no errors, no items)
  // while keeping its storage for reuse.
  void Clear();

  // Every item, in byte-wise name order (copies; for tests and tools).
  SingleValues SortedSingles() const;
  ListValues SortedLists() const;

 private:
  void TraceError(const GroupingError& error);

  ItemSlots<std::string> singles_;
  ItemSlots<std::vector<std::string>> lists_;
};

// Upper-cases (ASCII letters) every element of the list `name` of `record`
// in place, creating the list empty when absent.
void UpperCaseList(Record& record, std::string_view name);

// The episode records of a spell, in order: a sequence like a vector's,
// except that the records it clears away stay constructed, with their
// storage, to be handed out again as new records. A request's episodes then
// cost no record moves or destruction.
class EpisodeList {
 public:
  EpisodeList() = default;
  EpisodeList(const EpisodeList&) = delete;
  EpisodeList& operator=(const EpisodeList&) = delete;

  Record* begin() { return records_.data(); }
  Record* end() { return records_.data() + size_; }
  const Record* begin() const { return records_.data(); }
  const Record* end() const { return records_.data() + size_; }
  Record* data() { return records_.data(); }
  const Record* data() const { return records_.data(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Record& operator[](size_t i) { return records_[i]; }
  const Record& operator[](size_t i) const { return records_[i]; }
  Record& front() { return records_[0]; }
  const Record& front() const { return records_[0]; }
  Record& back() { return records_[size_ - 1]; }
  const Record& back() const { return records_[size_ - 1]; }

  // Appends a default record, reusing a cleared one when there is one.
  Record& emplace_back();
  // Appends or clears away records at the end until there are `size`.
  void resize(size_t size);
  // Clears away every record; past a bound, their storage is released.
  void clear();

 private:
  // Records [0, size_) are in use; the rest are cleared, default records.
  std::vector<Record> records_;
  size_t size_ = 0;
};

// One request's spell: its own fields plus its episodes. The output record is
// the record whose values are written as the spell's output fields; it points
// at the spell itself unless a mode redirects it. A Spell is not copyable,
// since the output record may point into it.
struct Spell : Record {
  Spell() = default;
  Spell(const Spell&) = delete;
  Spell& operator=(const Spell&) = delete;

  Record* output = this;
  EpisodeList episodes;
  // For each entry of the spell's own "Procedure" list, the index of the
  // episode it came from; filled by the admitted spell grouping.
  std::vector<size_t> procedure_origins;

  // Appends a new default episode record, reusing one kept from before.
  Record& AddEpisode() { return episodes.emplace_back(); }

  // Makes this a new spell with no episodes, as made for a request, while
  // keeping the records and their storage for the next request.
  void Clear();
};

}  // namespace zorvel
