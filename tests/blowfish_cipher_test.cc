// Tests of BlowfishCipher: published test vectors and the block byte order of
// the table files.
#include "refdata/blowfish_cipher.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

uint64_t Hex(const char* hex) { return std::stoull(hex, nullptr, 16); }

// Key, plaintext and ciphertext, each as 16 hex digits.
const char* const kVectors[][3] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
};

TEST(BlowfishCipherTest, HalvesMatchPublishedVectors) {
  // One cipher keyed again for each vector: a key starts from the initial
  // tables, not from those of the key before.
  BlowfishCipher cipher;
  for (const auto& [key, plain, sealed] : kVectors) {
    std::string key_bytes;
    for (int shift = 56; shift >= 0; shift -= 8)
      key_bytes.push_back(static_cast<char>(Hex(key) >> shift));
    cipher.SetKey(key_bytes);
    uint32_t left = static_cast<uint32_t>(Hex(plain) >> 32);
    uint32_t right = static_cast<uint32_t>(Hex(plain));
    cipher.EncryptHalves(&left, &right);
    EXPECT_EQ((uint64_t{left} << 32) | right, Hex(sealed)) << key;
    cipher.DecryptHalves(&left, &right);
    EXPECT_EQ((uint64_t{left} << 32) | right, Hex(plain)) << key;
  }
}

TEST(BlowfishCipherTest, BlocksAreLittleEndianHalvesWithoutChaining) {
  // The vector of key 3000000000000000, each half stored least significant
  // byte first, twice over: equal blocks stay equal.
  BlowfishCipher cipher;
  cipher.SetKey(std::string("\x30\0\0\0\0\0\0\0", 8));
  const std::vector<uint8_t> plain = {0, 0, 0, 0x10, 1, 0, 0, 0, 0, 0, 0, 0x10, 1, 0, 0, 0};
  const std::vector<uint8_t> sealed = {0x9A, 0x6F, 0x85, 0x7D, 0xF2, 0x63, 0x30, 0x61,
                                       0x9A, 0x6F, 0x85, 0x7D, 0xF2, 0x63, 0x30, 0x61};
  std::vector<uint8_t> bytes(16);
  cipher.EncryptBuffer(plain.data(), bytes.data(), bytes.size());
  EXPECT_EQ(bytes, sealed);
  cipher.DecryptBuffer(bytes.data(), bytes.data(), bytes.size());
  EXPECT_EQ(bytes, plain);
}

TEST(BlowfishCipherTest, BuffersDecryptAsTheirBlocksDoInPlaceOrNot) {
  // Eleven blocks, the last one partial: blocks go through in groups of
  // several and then one by one, and each must come out as it would alone.
  BlowfishCipher cipher;
  cipher.SetKey("a table key");
  std::vector<uint8_t> plain(11 * 8);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 37 + 5);
  std::vector<uint8_t> sealed(plain.size());
  cipher.EncryptBuffer(plain.data(), sealed.data(), sealed.size());
  std::vector<uint8_t> apart(sealed.size());
  cipher.DecryptBuffer(sealed.data(), apart.data(), 10 * 8 + 3);
  EXPECT_EQ(apart, plain);
  std::vector<uint8_t> in_place = sealed;
  cipher.DecryptBuffer(in_place.data(), in_place.data(), in_place.size());
  EXPECT_EQ(in_place, plain);
  for (size_t offset = 0; offset < sealed.size(); offset += 8) {
    uint8_t block[8];
    std::copy(sealed.data() + offset, sealed.data() + offset + 8, block);
    cipher.DecryptBlock(block);
    EXPECT_TRUE(std::equal(block, block + 8, plain.data() + offset)) << offset;
  }
}

}  // namespace
}  // namespace zorvel
