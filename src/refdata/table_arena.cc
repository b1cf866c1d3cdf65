// Blocks of the table arena, and large buffers laid out for huge pages.
#include "refdata/table_arena.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace zorvel {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Every piece of memory handed out is aligned at least to this.
constexpr size_t kMaxAlign = 64;

}  // namespace

void* AllocateLarge(size_t size) {
  void* bytes = nullptr;
  if (size < kHugePage) {
    return posix_memalign(&bytes, kMaxAlign, size == 0 ? 1 : size) == 0 ? bytes : nullptr;
  }
  const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
  if (rounded < size || posix_memalign(&bytes, kHugePage, rounded) != 0) return nullptr;
  // Only advice: where huge pages are not to be had, nothing changes.
  madvise(bytes, rounded, MADV_HUGEPAGE);
  return bytes;
}

TableArena::~TableArena() {
  for (void* block : blocks_) std::free(block);
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
  blocks_.push_back(block);
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
