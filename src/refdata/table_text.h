// Tells whether the plain text of a table is whole and clean, for the table
// tools: the plug-in reads any bytes, but a tool must not pack, unpack or pass
// a table that the reader would cut short or read wrongly without a word.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvel {

// Where and why a table text is not clean.
struct TextFault {
  int line = 0;        // 1-based line of the fault; 0 for the file as a whole
  std::string reason;  // e.g. "holds a NUL byte"
};

// The first fault of the plain table text `csv`, or nullopt when it is clean:
// no NUL byte, valid UTF-8 throughout, and either empty or ending with a line
// feed that lies outside quotes (so every row is ended by a line feed and the
// last row is not lost or swallowed by an open quote).
std::optional<TextFault> FindTextFault(std::string_view csv);

}  // namespace zorvel
