// A word read from bytes at any address: the way to look at several bytes
// at once without assuming they are aligned (the compiler makes it a single
// load).
#pragma once

#include <cstring>

namespace zorvel {

template <typename Word>
Word LoadWord(const void* bytes) {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

}  // namespace zorvel
