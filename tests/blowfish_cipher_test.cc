// Tests of BlowfishCipher: published test vectors and the block byte order of
// the table files.
#include "refdata/blowfish_cipher.h"

#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

// Parses 16 hex digits as two big-endian 32-bit halves, as the published
// vectors write them.
void ParseHalves(const char* hex, uint32_t* left, uint32_t* right) {
  std::string text(hex);
  *left = static_cast<uint32_t>(std::stoul(text.substr(0, 8), nullptr, 16));
  *right = static_cast<uint32_t>(std::stoul(text.substr(8, 8), nullptr, 16));
}

// The key bytes of 16 hex digits.
std::string KeyBytes(const char* hex) {
  std::string text(hex), key;
  for (size_t i = 0; i < text.size(); i += 2)
    key.push_back(static_cast<char>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return key;
}

// Writes a half into 4 bytes, least significant first.
void StoreLittle(uint32_t word, uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(word >> (8 * i));
}

// Writes a half into 4 bytes, most significant first.
void StoreBig(uint32_t word, uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(word >> (24 - 8 * i));
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
};

TEST(BlowfishCipherTest, HalvesMatchPublishedVectors) {
  for (const Vector& v : kVectors) {
    BlowfishCipher cipher;
    cipher.SetKey(KeyBytes(v.key));
    uint32_t left, right, want_left, want_right;
    ParseHalves(v.plain, &left, &right);
    ParseHalves(v.cipher, &want_left, &want_right);
    cipher.EncryptHalves(&left, &right);
    EXPECT_EQ(left, want_left) << v.key;
    EXPECT_EQ(right, want_right) << v.key;
    cipher.DecryptHalves(&left, &right);
    uint32_t plain_left, plain_right;
    ParseHalves(v.plain, &plain_left, &plain_right);
    EXPECT_EQ(left, plain_left) << v.key;
    EXPECT_EQ(right, plain_right) << v.key;
  }
}

TEST(BlowfishCipherTest, BlockBytesAreLittleEndianHalves) {
  // The vector's halves written least significant byte first decrypt to the
  // plaintext halves written the same way.
  BlowfishCipher cipher;
  cipher.SetKey(KeyBytes("3000000000000000"));
  uint32_t left, right;
  ParseHalves("7D856F9A613063F2", &left, &right);
  uint8_t block[8];
  StoreLittle(left, block);
  StoreLittle(right, block + 4);
  cipher.DecryptBlock(block);
  const uint8_t want[8] = {0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(block, want, 8), 0);
}

TEST(BlowfishCipherTest, BigEndianBlockDoesNotDecryptToText) {
  // Encrypting "ICD,A01\n" with big-endian halves, as a plain Blowfish
  // routine would, gives bytes that the table reader decrypts to other text.
  BlowfishCipher cipher;
  cipher.SetKey("K_4826tamarisk");
  const char text[9] = "ICD,A01\n";
  uint32_t left = 0, right = 0;
  for (int i = 0; i < 4; ++i) {
    left = (left << 8) | static_cast<uint8_t>(text[i]);
    right = (right << 8) | static_cast<uint8_t>(text[4 + i]);
  }
  cipher.EncryptHalves(&left, &right);
  uint8_t block[8];
  StoreBig(left, block);
  StoreBig(right, block + 4);
  cipher.DecryptBlock(block);
  EXPECT_NE(std::string(reinterpret_cast<char*>(block), 8), "ICD,A01\n");
}

TEST(BlowfishCipherTest, LittleEndianBlockRoundTripsText) {
  BlowfishCipher cipher;
  cipher.SetKey("K_4826tamarisk");
  uint8_t block[8];
  std::memcpy(block, "ICD,A01\n", 8);
  cipher.EncryptBlock(block);
  EXPECT_NE(std::string(reinterpret_cast<char*>(block), 8), "ICD,A01\n");
  cipher.DecryptBlock(block);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 8), "ICD,A01\n");
}

TEST(BlowfishCipherTest, BuffersAreEncryptedBlockByBlock) {
  // Without chaining, equal plaintext blocks give equal cipher blocks and a
  // buffer can be decrypted from any block boundary.
  BlowfishCipher cipher;
  cipher.SetKey("K_4826tamarisk");
  std::string text = "SEX,1\n\"\"SEX,1\n\"\"";
  std::string plain = text;
  auto* bytes = reinterpret_cast<uint8_t*>(text.data());
  cipher.EncryptBuffer(bytes, bytes, text.size());
  EXPECT_EQ(text.substr(0, 8), text.substr(8, 8));
  uint8_t second[8];
  cipher.DecryptBuffer(bytes + 8, second, 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(second), 8), plain.substr(8, 8));
  cipher.DecryptBuffer(bytes, bytes, text.size());
  EXPECT_EQ(text, plain);
}

TEST(BlowfishCipherTest, KeyingAgainStartsFromInitialTables) {
  BlowfishCipher once, twice;
  once.SetKey(KeyBytes("0123456789ABCDEF"));
  twice.SetKey("another key");
  twice.SetKey(KeyBytes("0123456789ABCDEF"));
  uint32_t l1 = 1, r1 = 2, l2 = 1, r2 = 2;
  once.EncryptHalves(&l1, &r1);
  twice.EncryptHalves(&l2, &r2);
  EXPECT_EQ(l1, l2);
  EXPECT_EQ(r1, r2);
}

}  // namespace
}  // namespace zorvel
