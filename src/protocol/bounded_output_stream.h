// An output stream for RapidJSON's writer that writes into a caller's buffer
// of fixed size. Every character is counted whether it fitted or not, so the
// final position is the full length of the document; the writer never writes
// past the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace zorvel {

class BoundedOutputStream {
 public:
  typedef char Ch;  // RapidJSON's stream concept

  // Writes into `buffer` of `size` bytes. The buffer belongs to the caller;
  // the stream keeps no pointer to it beyond its own lifetime.
  BoundedOutputStream(char* buffer, uint32_t size)
      : buffer_(buffer), size_(size) {}

  // Stores `c` at the position when it lies inside the buffer, then always
  // advances the position.
  void Put(Ch c) {
    if (position_ < size_) buffer_[position_] = c;
    ++position_;
  }
  void Flush() {}

  // Ends the document with a NUL: at the position when it lies inside the
  // buffer (the position then counts it), otherwise in the buffer's last
  // byte (the position stays at the full length). A zero-size buffer is left
  // untouched.
  void Terminate() {
    if (position_ < size_) {
      buffer_[position_] = '\0';
      ++position_;
    } else if (size_ > 0) {
      buffer_[size_ - 1] = '\0';
    }
  }

  // Characters counted so far: the length of a fitting terminated document
  // plus one, or the full length of a truncated one. Saturates at the 32-bit
  // maximum.
  uint32_t position() const {
    constexpr size_t kMax = std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(position_ < kMax ? position_ : kMax);
  }

 private:
  char* buffer_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace zorvel
