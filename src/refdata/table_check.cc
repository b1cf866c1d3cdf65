// The table checker behind "zorvel tables check".
#include "refdata/table_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace zorvel {
namespace {

// The field counts the loaders accept, in load order.
constexpr const char* kFieldsTaken[6] = {"2", "3", "7", "8 or more", "3", "4"};

// Why the file at `path` cannot be opened for reading: "missing" when it
// does not exist, otherwise the system's reason.
std::string OpenFailure(const std::string& path) {
  errno = 0;
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd >= 0) close(fd);
  if (errno == ENOENT) return "missing";
  return std::string("cannot be opened: ") + std::strerror(errno != 0 ? errno : EIO);
}

}  // namespace

bool CheckedTable::HasFaults() const {
  return !load.opened || damage || load.stop_line != 0 || !load.faults.empty();
}

bool TableCheck::HasFaults() const {
  for (const CheckedTable& table : tables)
    if (table.HasFaults()) return true;
  return false;
}

TableCheck CheckTables(const std::string& location) {
  ReferenceData data;
  TableCheck check;
  for (int index = 0; index < 6; ++index) {
    const std::string path = location + kTableFileNames[index];
    CheckedTable table;
    table.load = LoadTable(index, path, &data, FaultMode::kContinue);
    if (table.load.opened) {
      table.damage = table.load.damage;
      // An empty table file is sound to the plug-in, but a set that holds one
      // is almost surely not what was meant to be shipped.
      std::error_code error;
      if (!table.damage && std::filesystem::file_size(path, error) == 0 && !error)
        table.damage = TextFault{0, "empty: the table holds no rows"};
    } else {
      table.open_failure = OpenFailure(path);
    }
    check.tables.push_back(std::move(table));
  }
  return check;
}

std::string FormatTableCheck(const TableCheck& check, bool faults_only) {
  std::ostringstream out;
  for (size_t index = 0; index < check.tables.size(); ++index) {
    if (faults_only && !check.tables[index].HasFaults()) continue;
    const TableReport& table = check.tables[index].load;
    out << table.file << ": ";
    if (!table.opened) {
      out << check.tables[index].open_failure << "\n";
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
  if (!faults_only) out << (check.HasFaults() ? "faults found\n" : "ok\n");
  return out.str();
}

}  // namespace zorvel
