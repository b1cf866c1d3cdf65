// Blocks of the table arena, and large buffers laid out for huge pages.
#include "refdata/table_arena.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace zorvel {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPage = 4096;
// Every piece of memory handed out is aligned at least to this.
constexpr size_t kMaxAlign = 64;

// The bytes mapped for room of `size` bytes: whole pages, or whole huge
// pages from a huge page up; 0 when that many cannot be counted.
size_t LargeBytes(size_t size) {
  const size_t unit = size >= kHugePage ? kHugePage : kPage;
  if (size > SIZE_MAX - unit) return 0;
  return size == 0 ? unit : (size + unit - 1) / unit * unit;
}

}  // namespace

void* AllocateLarge(size_t size) {
  const size_t bytes = LargeBytes(size);
  if (bytes == 0) return nullptr;
  if (kArenaPieces == ArenaPieces::kFromHeap) {
    void* heap = nullptr;
    return posix_memalign(&heap, kMaxAlign, bytes) == 0 ? heap : nullptr;
  }
  // A huge page's worth more is mapped, and what lies outside the aligned
  // run unmapped again.
  const size_t slack = bytes >= kHugePage ? kHugePage : 0;
  if (bytes > SIZE_MAX - slack) return nullptr;
  void* mapped = mmap(nullptr, bytes + slack, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = slack == 0 ? start : (start + slack - 1) & ~(uintptr_t{slack} - 1);
  if (aligned != start) munmap(mapped, aligned - start);
  if (start + slack != aligned) {
    munmap(reinterpret_cast<void*>(aligned + bytes), start + slack - aligned);
  }
  // Only advice: where huge pages are not to be had, nothing changes.
  if (slack != 0) madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* bytes, size_t size) {
  if (bytes == nullptr) return;
  if (kArenaPieces == ArenaPieces::kFromHeap) {
    std::free(bytes);
  } else {
    munmap(bytes, LargeBytes(size));
  }
}

TableArena::~TableArena() {
  for (const auto& [block, size] : blocks_) FreeLarge(block, size);
}

size_t TableArena::PieceBytes(size_t bytes) {
  if (bytes > SIZE_MAX / 2) throw std::bad_alloc();
  return bytes == 0 ? kPieceAlign : (bytes + kPieceAlign - 1) & ~(kPieceAlign - 1);
}

void* TableArena::Allocate(size_t bytes, size_t align) {
  if (align > kMaxAlign) throw std::bad_alloc();
  if (pieces_ == ArenaPieces::kFromHeap) return ::operator new(bytes, std::align_val_t{kMaxAlign});
  bytes = PieceBytes(bytes);
  if (align <= kPieceAlign) {
    auto it = free_.find(bytes);
    if (it != free_.end() && it->second != nullptr) {
      void* piece = it->second;
      std::memcpy(&it->second, piece, sizeof(void*));
      return piece;
    }
    align = kPieceAlign;
  }
  const uintptr_t at = (next_ + align - 1) & ~(uintptr_t{align} - 1);
  if (at >= next_ && at <= end_ && bytes <= end_ - at) {
    next_ = at + bytes;
    return reinterpret_cast<void*>(at);
  }
  const bool own_block = bytes > kBlockBytes / 4;
  const size_t size = own_block ? bytes : kBlockBytes;
  blocks_.reserve(blocks_.size() + 1);
  void* block = AllocateLarge(size);
  if (block == nullptr) throw std::bad_alloc();
  blocks_.emplace_back(block, size);
  reserved_ += size;
  if (own_block) return block;
  next_ = reinterpret_cast<uintptr_t>(block) + bytes;
  end_ = reinterpret_cast<uintptr_t>(block) + size;
  return block;
}

void TableArena::Free(void* p, size_t bytes) noexcept {
  if (p == nullptr) return;
  if (pieces_ == ArenaPieces::kFromHeap) {
    ::operator delete(p, std::align_val_t{kMaxAlign});
    return;
  }
  // Keeping a piece is only a saving: when the list of its size cannot be
  // made, the piece stays unused until the arena goes.
  try {
    void*& head = free_[PieceBytes(bytes)];
    std::memcpy(p, &head, sizeof(void*));
    head = p;
  } catch (...) {
  }
}

}  // namespace zorvel
