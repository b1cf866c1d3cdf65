// The loaders of the six reference tables, shared by ReferenceData::LoadAll
// and the table checker. Each loader clears its table, opens its file and
// consumes rows while their field count fits the table; it reports what it
// read, where it stopped and which names it could not resolve.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "refdata/reference_data.h"
#include "refdata/table_reader.h"
#include "refdata/table_text.h"

namespace zorvel {

// A name that one table uses and the table it refers to lacks.
struct TableFault {
  std::string file;     // table file name, e.g. "RuleDefs.csv.enc"
  int line = 0;         // 1-based line of the row in the plain table
  std::string missing;  // the list or rule name not found
  std::string message;  // the load error text for this kind of fault
};

// What one loader did.
struct TableReport {
  std::string file;       // table file name
  bool opened = false;    // false when the file could not be opened
  size_t rows = 0;        // rows whose field count fitted the table
  int stop_line = 0;      // line of a row that ended the table early, or 0
  size_t stop_fields = 0;  // field count of that row
  // Why the file is not whole, when it opened: it is not a regular file, it
  // cannot be read to its end, FindDecryptedFault faults its bytes, or it is
  // empty although the table starts with a header line.
  std::optional<TextFault> damage;
  std::vector<TableFault> faults;
};

// How a loader treats a name it cannot resolve.
enum class FaultMode {
  kStop,      // the first fault ends the load (the plug-in's behaviour)
  kContinue,  // record every fault and read on (the table checker)
};

// Runs the loader of table `index` (0 to 5, the order of kTableFileNames) on
// the file at `path`, filling the matching table of `data`. Tables loaded
// earlier supply the lists and rules that later tables name. In kContinue
// mode a rule row naming a missing list keeps its condition without a list,
// and a trigger or combination row naming a missing rule is passed over.
// The file is read by `reader` when given (its buffer then serves the next
// table too), else by a reader of its own.
TableReport LoadTable(int index, const std::string& path, ReferenceData* data,
                      FaultMode mode, TableReader* reader = nullptr);

}  // namespace zorvel
