// Packs plain CSV tables into the encrypted files that ReferenceData reads,
// and unpacks them again. The plaintext is padded to whole cipher blocks with
// quote characters: a run of quotes after the last line feed stores nothing,
// so the reader sees no extra row.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "refdata/table_text.h"

namespace zorvel {

// What made a directory operation fail.
enum class PackFailure {
  kNone,
  kMissing,  // a table file could not be read
  kDamaged,  // a table is not whole, clean text (see FindPackedFault)
  kOutput,   // the destination could not be written
};

// Outcome of a directory operation: ok, or the reason it failed.
struct PackResult {
  bool ok = true;
  PackFailure failure = PackFailure::kNone;
  std::string message;  // names the file, and the line if any, when !ok
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

// The first fault of an encrypted table file `encrypted`, or nullopt when it
// is whole: its length is a whole number of cipher blocks and its decrypted
// text, once its padding is removed (the run of quotes or of NULs at its end,
// when fewer than 8 bytes), passes FindTextFault. The format has no
// length or checksum, so a file cut at a block boundary just after a line
// feed still passes. When whole and `csv` is given, `*csv` is the text
// without its padding.
std::optional<TextFault> FindPackedFault(std::string_view encrypted,
                                         std::string* csv = nullptr);

// FindPackedFault for a file of `encrypted_size` bytes already decrypted
// into `decrypted` (whose length is then the same, when whole).
std::optional<TextFault> FindDecryptedFault(size_t encrypted_size, std::string_view decrypted,
                                            std::string* csv = nullptr);

// The plain CSV name of a table file: "Lists.csv.enc" -> "Lists.csv".
std::string PlainName(std::string_view table_file_name);

// Reads the six plain tables <Name>.csv from directory `src`, refuses any
// that FindTextFault faults, and writes the six <Name>.csv.enc files into
// directory `dst` in one step (WriteFolder): on failure `dst` is untouched.
PackResult PackDirectory(const std::string& src, const std::string& dst);

// Reads the six <Name>.csv.enc files from `src`, refuses any that
// FindPackedFault faults, and writes the plain <Name>.csv files, padding
// removed, into `dst` in one step (WriteFolder).
PackResult UnpackDirectory(const std::string& src, const std::string& dst);

}  // namespace zorvel
