// Encryption and decryption of whole table files for the table tools and the
// tests.
#include "refdata/table_packer.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "refdata/blowfish_cipher.h"
#include "refdata/table_folder.h"
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

std::string JoinPath(const std::string& dir, const std::string& name) {
  return (std::filesystem::path(dir) / name).string();
}

// The length of `text` without its padding: the run of quotes or of NULs at
// its end, when shorter than a block (a longer run is no padding).
size_t UnpaddedLength(std::string_view text) {
  if (text.empty() || (text.back() != kPadding && text.back() != '\0')) return text.size();
  const size_t kept = text.find_last_not_of(text.back());
  const size_t start = kept == std::string_view::npos ? 0 : kept + 1;
  return text.size() - start < kBlock ? start : text.size();
}

PackResult Failure(PackFailure failure, std::string message) {
  return {false, failure, std::move(message)};
}

PackResult DamageFailure(const std::string& path, const TextFault& fault) {
  std::string where = fault.line == 0 ? "" : ":" + std::to_string(fault.line);
  return Failure(PackFailure::kDamaged, path + where + ": " + fault.reason);
}

PackResult Install(const std::string& dst, const std::vector<FolderFile>& files) {
  std::string failure = WriteFolder(dst, files);
  if (!failure.empty()) return Failure(PackFailure::kOutput, std::move(failure));
  return {};
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

std::optional<TextFault> FindDecryptedFault(size_t encrypted_size, std::string_view decrypted,
                                            std::string* csv) {
  if (encrypted_size % kBlock != 0)
    return TextFault{0, std::to_string(encrypted_size) +
                            " bytes, not a whole number of 8-byte cipher blocks: "
                            "cut short or not a table file"};
  const std::string_view content = decrypted.substr(0, UnpaddedLength(decrypted));
  std::optional<TextFault> fault = FindTextFault(content);
  if (fault) {
    fault->reason += " once decrypted: damaged, cut short or not a table file";
    return fault;
  }
  if (csv != nullptr) *csv = std::string(content);
  return std::nullopt;
}

std::optional<TextFault> FindPackedFault(std::string_view encrypted, std::string* csv) {
  return FindDecryptedFault(encrypted.size(), DecryptTable(encrypted), csv);
}

PackResult PackDirectory(const std::string& src, const std::string& dst) {
  std::vector<FolderFile> files;
  for (const char* file_name : kTableFileNames) {
    std::string plain_path = JoinPath(src, PlainName(file_name));
    std::string csv;
    if (!ReadFile(plain_path, &csv))
      return Failure(PackFailure::kMissing, "cannot read " + plain_path);
    if (std::optional<TextFault> fault = FindTextFault(csv))
      return DamageFailure(plain_path, *fault);
    files.emplace_back(file_name, EncryptTable(csv));
  }
  return Install(dst, files);
}

PackResult UnpackDirectory(const std::string& src, const std::string& dst) {
  std::vector<FolderFile> files;
  for (const char* file_name : kTableFileNames) {
    std::string packed_path = JoinPath(src, file_name);
    std::string encrypted, csv;
    if (!ReadFile(packed_path, &encrypted))
      return Failure(PackFailure::kMissing, "cannot read " + packed_path);
    if (std::optional<TextFault> fault = FindPackedFault(encrypted, &csv))
      return DamageFailure(packed_path, *fault);
    files.emplace_back(PlainName(file_name), std::move(csv));
  }
  return Install(dst, files);
}

}  // namespace zorvel
