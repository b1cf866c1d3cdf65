// The memory of one load of the reference tables: the loaders take every
// table's arrays, nodes and lists from one arena, in large blocks laid out
// for huge pages, and nothing goes back to the system until the whole set
// is thrown away. A national table set is tens of megabytes in hundreds of thousands
// of small pieces; from the heap, each 4 KiB page of it costs a page fault
// when first touched, and those faults were most of the load's time.
//
// Pieces given back (the old arrays of a table or list that grew) are kept by
// size and handed out again for the next piece of that size: tables and
// lists grow through the same sizes one after another, so little is left
// unused.
//
// ArenaAllocator is a standard allocator over an arena. One made without an
// arena takes its memory from the heap, so that containers built in memory
// (by tests, or by code that never loads) work as ordinary ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include <boost/unordered_map.hpp>

namespace zorvel {

// Room for `size` bytes, mapped from the system (so that freeing it gives it
// back, however the heap stands); from 2 MiB up aligned to, and advised as,
// huge pages, so that filling it takes a few page faults rather than one per
// 4 KiB. Null when there is none. Under AddressSanitizer the room comes from
// the heap, so that the sanitizer sees its bounds.
void* AllocateLarge(size_t size);
// Gives back room of `size` bytes from AllocateLarge.
void FreeLarge(void* bytes, size_t size);

// Where an arena's pieces come from. Under AddressSanitizer every piece comes
// from the heap and goes back to it, so that the sanitizer sees each piece's
// bounds and lifetime; containers give back all they take before their arena
// goes.
enum class ArenaPieces { kFromBlocks, kFromHeap };

#if defined(__SANITIZE_ADDRESS__)
#define ZORVEL_ARENA_ON_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZORVEL_ARENA_ON_HEAP 1
#endif
#endif
#ifdef ZORVEL_ARENA_ON_HEAP
inline constexpr ArenaPieces kArenaPieces = ArenaPieces::kFromHeap;
#else
inline constexpr ArenaPieces kArenaPieces = ArenaPieces::kFromBlocks;
#endif

class TableArena {
 public:
  // Pieces are cut from blocks of this size, which is the size of a huge
  // page; a piece larger than a quarter of it has a block of its own.
  static constexpr size_t kBlockBytes = size_t{2} << 20;

  explicit TableArena(ArenaPieces pieces = kArenaPieces) : pieces_(pieces) {}
  ~TableArena();
  TableArena(const TableArena&) = delete;
  TableArena& operator=(const TableArena&) = delete;

  // Room for `bytes` bytes aligned to `align` (at most 64). Throws
  // std::bad_alloc when there is none.
  void* Allocate(size_t bytes, size_t align);
  // Takes back the piece `p` of `bytes` bytes, for a later Allocate.
  void Free(void* p, size_t bytes) noexcept;

  // Bytes of all blocks taken so far.
  size_t reserved() const { return reserved_; }

 private:
  // Pieces are aligned at least to this, so that one given back serves any
  // later piece of its size up to this alignment.
  static constexpr size_t kPieceAlign = 16;
  // The bytes a piece of `bytes` bytes takes, a multiple of kPieceAlign.
  static size_t PieceBytes(size_t bytes);

  ArenaPieces pieces_;
  std::vector<std::pair<void*, size_t>> blocks_;  // each block and its size
  // The pieces given back, by size: each holds the address of the next.
  boost::unordered_map<size_t, void*> free_;
  uintptr_t next_ = 0;  // the first free byte of the current block
  uintptr_t end_ = 0;   // the end of the current block
  size_t reserved_ = 0;
};

template <typename T>
class ArenaAllocator {
 public:
  using value_type = T;
  // Containers that trade contents trade arenas with them, so that memory is
  // always given back to where it came from.
  using propagate_on_container_copy_assignment = std::true_type;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;

  ArenaAllocator() noexcept = default;
  explicit ArenaAllocator(TableArena* arena) noexcept : arena_(arena) {}
  template <typename U>
  ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena_(other.arena()) {}

  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    if (arena_ == nullptr) return std::allocator<T>().allocate(n);
    return static_cast<T*>(arena_->Allocate(n * sizeof(T), alignof(T)));
  }
  void deallocate(T* p, size_t n) noexcept {
    if (arena_ == nullptr) {
      std::allocator<T>().deallocate(p, n);
    } else {
      arena_->Free(p, n * sizeof(T));
    }
  }

  TableArena* arena() const noexcept { return arena_; }

  template <typename U>
  bool operator==(const ArenaAllocator<U>& other) const noexcept {
    return arena_ == other.arena();
  }
  template <typename U>
  bool operator!=(const ArenaAllocator<U>& other) const noexcept {
    return arena_ != other.arena();
  }

 private:
  TableArena* arena_ = nullptr;
};

template <typename T>
using ArenaVector = std::vector<T, ArenaAllocator<T>>;

}  // namespace zorvel
