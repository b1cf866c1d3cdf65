// Packs plain CSV tables into the encrypted files that ReferenceData reads,
// and unpacks them again. The plaintext is padded to whole cipher blocks with
// quote characters: a run of quotes after the last line feed stores nothing,
// so the reader sees no extra row.
#pragma once

#include <string>
#include <string_view>

namespace zorvel {

// Outcome of a directory operation: ok, or the reason it failed.
struct PackResult {
  bool ok = true;
  bool output_failed = false;  // the failure was in writing, not reading
  std::string message;         // names the file concerned when !ok
};

// Encrypts `csv` with the table key after padding it with '"' bytes to a
// multiple of 8 bytes.
std::string EncryptTable(std::string_view csv);

// Decrypts `encrypted` with the table key. Returns the padded plaintext; a
// trailing partial block (a damaged file) is decrypted as if zero-filled.
std::string DecryptTable(std::string_view encrypted);

// DecryptTable, then removes the run of padding quotes that follows the last
// line feed (a file without a line feed keeps its text as decrypted).
std::string UnpackTable(std::string_view encrypted);

// The plain CSV name of a table file: "Lists.csv.enc" -> "Lists.csv".
std::string PlainName(std::string_view table_file_name);

// Reads the six plain tables <Name>.csv from directory `src` and writes the
// six <Name>.csv.enc files into directory `dst` (created when absent).
PackResult PackDirectory(const std::string& src, const std::string& dst);

// Reads the six <Name>.csv.enc files from `src` and writes the plain
// <Name>.csv files, padding removed, into `dst` (created when absent).
PackResult UnpackDirectory(const std::string& src, const std::string& dst);

}  // namespace zorvel
