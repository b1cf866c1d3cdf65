// Checks a directory of encrypted tables for the table tools: per table that
// the file decrypts to whole, clean text and is not empty (TableReport::damage),
// then, with the plug-in's own reader and row rules, the rows loaded and the
// line of a row that ended the table early, every name that one table uses
// and another lacks, and the files that could not be opened. The plug-in
// itself reads rows leniently; here each of these is a fault.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "refdata/table_loaders.h"
#include "refdata/table_text.h"

namespace zorvel {

// One table as checked.
struct CheckedTable {
  TableReport load;                  // what the plug-in's loader made of it
  std::optional<TextFault> damage;   // why the file is not whole, if so
  std::string open_failure;          // "missing", or why it did not open

  // True when the file did not open or is damaged, the table stopped before
  // its end, or a name could not be resolved.
  bool HasFaults() const;
};

struct TableCheck {
  std::vector<CheckedTable> tables;  // the six tables, in load order

  // True when a file is missing or damaged, a table stopped before its end,
  // or a name could not be resolved.
  bool HasFaults() const;
};

// Loads the six tables from `location` followed directly by each file name,
// reading every table to its end whatever faults it finds.
TableCheck CheckTables(const std::string& location);

// A readable account of `check`, one line per table and one per fault, and
// a closing verdict; with `faults_only`, only the lines of the tables at
// fault and no verdict.
std::string FormatTableCheck(const TableCheck& check, bool faults_only = false);

}  // namespace zorvel
