// The table checker behind "zorvel tables check".
#include "refdata/table_check.h"

#include <fstream>
#include <sstream>

#include "refdata/table_packer.h"

namespace zorvel {
namespace {

// The field counts the loaders accept, in load order.
constexpr const char* kFieldsTaken[6] = {"2", "3", "7", "8 or more", "3", "4"};

std::optional<TextFault> FindFileFault(const std::string& path) {
  std::ifstream in(path, std::ios::in | std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return TextFault{0, "cannot be read to its end"};
  return FindPackedFault(bytes.str());
}

}  // namespace

bool TableCheck::HasFaults() const {
  for (const CheckedTable& table : tables)
    if (!table.load.opened || table.damage || table.load.stop_line != 0 ||
        !table.load.faults.empty())
      return true;
  return false;
}

TableCheck CheckTables(const std::string& location) {
  ReferenceData data;
  TableCheck check;
  for (int index = 0; index < 6; ++index) {
    const std::string path = location + kTableFileNames[index];
    CheckedTable table{LoadTable(index, path, &data, FaultMode::kContinue), std::nullopt};
    if (table.load.opened) table.damage = FindFileFault(path);
    check.tables.push_back(std::move(table));
  }
  return check;
}

std::string FormatTableCheck(const TableCheck& check) {
  std::ostringstream out;
  for (size_t index = 0; index < check.tables.size(); ++index) {
    const TableReport& table = check.tables[index].load;
    out << table.file << ": ";
    if (!table.opened) {
      out << "missing\n";
      continue;
    }
    out << table.rows << " rows";
    if (table.stop_line != 0)
      out << ", stopped at line " << table.stop_line << ": a row of "
          << table.stop_fields << (table.stop_fields == 1 ? " field" : " fields")
          << " where the table takes " << kFieldsTaken[index];
    out << "\n";
    if (const std::optional<TextFault>& damage = check.tables[index].damage)
      out << "  " << (damage->line == 0 ? "file" : "line " + std::to_string(damage->line))
          << ": " << damage->reason << "\n";
    for (const TableFault& fault : table.faults)
      out << "  line " << fault.line << ": " << fault.message << ": \""
          << fault.missing << "\"\n";
  }
  out << (check.HasFaults() ? "faults found\n" : "ok\n");
  return out.str();
}

}  // namespace zorvel
