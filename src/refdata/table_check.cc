// The table checker behind "zorvel tables check".
#include "refdata/table_check.h"

#include <sstream>

namespace zorvel {

bool TableCheck::HasFaults() const {
  for (const TableReport& table : tables)
    if (!table.opened || !table.faults.empty()) return true;
  return false;
}

TableCheck CheckTables(const std::string& location) {
  ReferenceData data;
  TableCheck check;
  for (int index = 0; index < 6; ++index)
    check.tables.push_back(LoadTable(index, location + kTableFileNames[index],
                                     &data, FaultMode::kContinue));
  return check;
}

std::string FormatTableCheck(const TableCheck& check) {
  std::ostringstream out;
  for (const TableReport& table : check.tables) {
    out << table.file << ": ";
    if (!table.opened) {
      out << "missing\n";
      continue;
    }
    out << table.rows << " rows";
    if (table.stop_line != 0) out << ", stopped at line " << table.stop_line;
    out << "\n";
    for (const TableFault& fault : table.faults)
      out << "  line " << fault.line << ": " << fault.message << ": \""
          << fault.missing << "\"\n";
  }
  out << (check.HasFaults() ? "faults found\n" : "ok\n");
  return out.str();
}

}  // namespace zorvel
