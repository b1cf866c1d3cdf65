// Encryption and decryption of whole table files for the table tools and the
// tests.
#include "refdata/table_packer.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "refdata/blowfish_cipher.h"
#include "refdata/reference_data.h"
#include "refdata/table_reader.h"

namespace zorvel {
namespace {

constexpr size_t kBlock = 8;
constexpr char kPadding = '"';

BlowfishCipher KeyedCipher() {
  BlowfishCipher cipher;
  cipher.SetKey(kTableKey);
  return cipher;
}

uint8_t* Bytes(std::string& text) {
  return reinterpret_cast<uint8_t*>(text.data());
}

bool ReadFile(const std::string& path, std::string* out) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::in | std::ios::binary);
  if (!in.is_open()) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  *out = buffer.str();
  return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

bool MakeDirectory(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  return std::filesystem::is_directory(dir, error);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  return (std::filesystem::path(dir) / name).string();
}

PackResult ReadFailure(std::string message) {
  return {false, false, std::move(message)};
}

PackResult WriteFailure(std::string message) {
  return {false, true, std::move(message)};
}

}  // namespace

std::string EncryptTable(std::string_view csv) {
  std::string text(csv);
  text.append((kBlock - text.size() % kBlock) % kBlock, kPadding);
  KeyedCipher().EncryptBuffer(Bytes(text), Bytes(text), text.size());
  return text;
}

std::string DecryptTable(std::string_view encrypted) {
  std::string text(encrypted);
  size_t size = text.size();
  text.resize((size + kBlock - 1) / kBlock * kBlock, '\0');
  KeyedCipher().DecryptBuffer(Bytes(text), Bytes(text), size);
  return text;
}

std::string UnpackTable(std::string_view encrypted) {
  std::string text = DecryptTable(encrypted);
  size_t last_line_feed = text.rfind('\n');
  if (last_line_feed == std::string::npos) return text;
  // Only a tail made of padding alone is removed; a last line of data stays.
  if (text.find_first_not_of(kPadding, last_line_feed + 1) == std::string::npos)
    text.resize(last_line_feed + 1);
  return text;
}

std::string PlainName(std::string_view table_file_name) {
  std::string name(table_file_name);
  const std::string suffix = ".enc";
  if (name.size() > suffix.size() &&
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    name.resize(name.size() - suffix.size());
  return name;
}

PackResult PackDirectory(const std::string& src, const std::string& dst) {
  if (!MakeDirectory(dst)) return WriteFailure("cannot create directory " + dst);
  for (const char* file_name : kTableFileNames) {
    std::string plain_path = JoinPath(src, PlainName(file_name));
    std::string csv;
    if (!ReadFile(plain_path, &csv)) return ReadFailure("cannot read " + plain_path);
    std::string packed_path = JoinPath(dst, file_name);
    if (!WriteFile(packed_path, EncryptTable(csv)))
      return WriteFailure("cannot write " + packed_path);
  }
  return {};
}

PackResult UnpackDirectory(const std::string& src, const std::string& dst) {
  if (!MakeDirectory(dst)) return WriteFailure("cannot create directory " + dst);
  for (const char* file_name : kTableFileNames) {
    std::string packed_path = JoinPath(src, file_name);
    std::string encrypted;
    if (!ReadFile(packed_path, &encrypted))
      return ReadFailure("cannot read " + packed_path);
    std::string plain_path = JoinPath(dst, PlainName(file_name));
    if (!WriteFile(plain_path, UnpackTable(encrypted)))
      return WriteFailure("cannot write " + plain_path);
  }
  return {};
}

}  // namespace zorvel
