// The Blowfish block cipher that protects the table files: 16 rounds, keyed
// with up to 56 bytes. Blocks are 8 bytes whose two 32-bit halves are stored
// little-endian (byte 0 is the least significant byte of the left half), and
// buffers are processed block by block without chaining.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorvel {

class BlowfishCipher {
 public:
  // An unkeyed cipher holds the initial tables; call SetKey before use.
  BlowfishCipher();

  // Runs the key schedule with the bytes of `key` (taken cyclically). An
  // empty key leaves the initial tables in place.
  void SetKey(std::string_view key);

  // Encrypts or decrypts one block given as its two halves.
  void EncryptHalves(uint32_t* left, uint32_t* right) const;
  void DecryptHalves(uint32_t* left, uint32_t* right) const;

  // Encrypts or decrypts the 8-byte block at `block` in place, halves read and
  // written little-endian.
  void EncryptBlock(uint8_t* block) const;
  void DecryptBlock(uint8_t* block) const;

  // Decrypts ceil(n / 8) blocks from `in` into `out` (in place when they are
  // the same). Both buffers must hold ceil(n / 8) * 8 bytes: when `n` is not a
  // multiple of 8 the last block takes in the bytes that follow `n`.
  void DecryptBuffer(const uint8_t* in, uint8_t* out, size_t n) const;
  // Encrypts the same way; used by the table packer.
  void EncryptBuffer(const uint8_t* in, uint8_t* out, size_t n) const;

 private:
  uint32_t Round(uint32_t x) const;

  uint32_t p_[18];
  uint32_t s_[4][256];
};

}  // namespace zorvel
