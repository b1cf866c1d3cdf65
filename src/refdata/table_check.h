// Checks a directory of encrypted tables with the plug-in's own reader and
// row rules: per table the rows loaded and the line of a row that ended the
// table early, every name that one table uses and another lacks, and the
// files that could not be opened.
#pragma once

#include <string>
#include <vector>

#include "refdata/table_loaders.h"

namespace zorvel {

struct TableCheck {
  std::vector<TableReport> tables;  // the six tables, in load order

  // True when a file is missing or a name could not be resolved.
  bool HasFaults() const;
};

// Loads the six tables from `location` followed directly by each file name,
// reading every table to its end whatever faults it finds.
TableCheck CheckTables(const std::string& location);

// A readable account of `check`, one line per table and one per fault.
std::string FormatTableCheck(const TableCheck& check);

}  // namespace zorvel
