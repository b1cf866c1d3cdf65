// Blowfish key schedule and block operations, with the little-endian block
// layout of the table files.
#include "refdata/blowfish_cipher.h"

#include <cstring>

namespace zorvel {
namespace {

#include "refdata/blowfish_tables.inc"

uint32_t LoadLittleEndian(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) |
         static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 |
         static_cast<uint32_t>(bytes[3]) << 24;
}

void StoreLittleEndian(uint32_t word, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(word);
  bytes[1] = static_cast<uint8_t>(word >> 8);
  bytes[2] = static_cast<uint8_t>(word >> 16);
  bytes[3] = static_cast<uint8_t>(word >> 24);
}

constexpr size_t kBlockSize = 8;

}  // namespace

BlowfishCipher::BlowfishCipher() {
  std::memcpy(p_, kInitialP, sizeof(p_));
  std::memcpy(s_[0], kInitialS0, sizeof(s_[0]));
  std::memcpy(s_[1], kInitialS1, sizeof(s_[1]));
  std::memcpy(s_[2], kInitialS2, sizeof(s_[2]));
  std::memcpy(s_[3], kInitialS3, sizeof(s_[3]));
}

void BlowfishCipher::SetKey(std::string_view key) {
  *this = BlowfishCipher();
  if (key.empty()) return;
  // Each P word is mixed with four key bytes, the first the most significant,
  // the key wrapping round as often as needed.
  size_t j = 0;
  for (uint32_t& word : p_) {
    uint32_t mix = 0;
    for (int k = 0; k < 4; ++k) {
      mix = (mix << 8) | static_cast<uint8_t>(key[j]);
      j = (j + 1) % key.size();
    }
    word ^= mix;
  }
  // Chained encryptions of the zero block replace P and then the S-boxes.
  uint32_t left = 0, right = 0;
  for (int i = 0; i < 18; i += 2) {
    EncryptHalves(&left, &right);
    p_[i] = left;
    p_[i + 1] = right;
  }
  for (auto& box : s_) {
    for (int i = 0; i < 256; i += 2) {
      EncryptHalves(&left, &right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

uint32_t BlowfishCipher::Round(uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) +
         s_[3][x & 0xFF];
}

void BlowfishCipher::EncryptHalves(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left, r = *right;
  for (int i = 0; i < 16; i += 2) {
    l ^= p_[i];
    r ^= Round(l);
    r ^= p_[i + 1];
    l ^= Round(r);
  }
  *left = r ^ p_[17];
  *right = l ^ p_[16];
}

void BlowfishCipher::DecryptHalves(uint32_t* left, uint32_t* right) const {
  uint32_t l = *left, r = *right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= p_[i];
    r ^= Round(l);
    r ^= p_[i - 1];
    l ^= Round(r);
  }
  *left = r ^ p_[0];
  *right = l ^ p_[1];
}

void BlowfishCipher::EncryptBlock(uint8_t* block) const {
  uint32_t left = LoadLittleEndian(block), right = LoadLittleEndian(block + 4);
  EncryptHalves(&left, &right);
  StoreLittleEndian(left, block);
  StoreLittleEndian(right, block + 4);
}

void BlowfishCipher::DecryptBlock(uint8_t* block) const {
  uint32_t left = LoadLittleEndian(block), right = LoadLittleEndian(block + 4);
  DecryptHalves(&left, &right);
  StoreLittleEndian(left, block);
  StoreLittleEndian(right, block + 4);
}

void BlowfishCipher::DecryptBuffer(const uint8_t* in, uint8_t* out,
                                   size_t n) const {
  // Each round of a block waits on the S-box look-ups of the round before,
  // so one block at a time leaves the processor idle most of each round.
  // Blocks are independent, so they go four at a time, the rounds of the
  // four interleaved; every block is read before any is written, which keeps
  // decryption in place correct.
  constexpr size_t kLanes = 4;
  const size_t blocks = (n + kBlockSize - 1) / kBlockSize;
  size_t block = 0;
  for (; block + kLanes <= blocks; block += kLanes) {
    const uint8_t* from = in + block * kBlockSize;
    uint8_t* to = out + block * kBlockSize;
    uint32_t l[kLanes], r[kLanes];
    for (size_t k = 0; k < kLanes; ++k) {
      l[k] = LoadLittleEndian(from + k * kBlockSize);
      r[k] = LoadLittleEndian(from + k * kBlockSize + 4);
    }
    for (int i = 17; i > 1; i -= 2) {
      for (size_t k = 0; k < kLanes; ++k) {
        l[k] ^= p_[i];
        r[k] ^= Round(l[k]);
      }
      for (size_t k = 0; k < kLanes; ++k) {
        r[k] ^= p_[i - 1];
        l[k] ^= Round(r[k]);
      }
    }
    for (size_t k = 0; k < kLanes; ++k) {
      StoreLittleEndian(r[k] ^ p_[0], to + k * kBlockSize);
      StoreLittleEndian(l[k] ^ p_[1], to + k * kBlockSize + 4);
    }
  }
  for (; block < blocks; ++block) {
    const size_t offset = block * kBlockSize;
    if (in != out) std::memcpy(out + offset, in + offset, kBlockSize);
    DecryptBlock(out + offset);
  }
}

void BlowfishCipher::EncryptBuffer(const uint8_t* in, uint8_t* out,
                                   size_t n) const {
  for (size_t offset = 0; offset < n; offset += kBlockSize) {
    if (in != out) std::memcpy(out + offset, in + offset, kBlockSize);
    EncryptBlock(out + offset);
  }
}

}  // namespace zorvel
