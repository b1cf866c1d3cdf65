// zorvel tables pack|unpack|check: encrypt plain CSV tables into the files the
// plug-in reads, decrypt them back, and check a table directory for damaged
// files, rows that stop a load and names that one table uses and another
// lacks. Pack and unpack write all six files or none.
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "refdata/table_check.h"
#include "refdata/table_packer.h"

namespace zorvel::cli {
namespace {

int ExitCodeOf(const PackResult& result) {
  if (result.ok) return kExitOk;
  std::cerr << "zorvel tables: " << result.message << "\n";
  switch (result.failure) {
    case PackFailure::kDamaged: return kExitTableFaults;
    case PackFailure::kOutput: return kExitIoError;
    default: return kExitTablesMissing;
  }
}

void AddPackCommand(CLI::App& tables, int* exit_code) {
  auto* pack = tables.add_subcommand(
      "pack", "Encrypt the six <Name>.csv tables of SRC into <Name>.csv.enc in DST");
  auto src = std::make_shared<std::string>();
  auto dst = std::make_shared<std::string>();
  pack->add_option("SRC", *src, "directory of plain CSV tables")->required();
  pack->add_option("DST", *dst, "directory for the encrypted tables")->required();
  pack->callback([=] { *exit_code = ExitCodeOf(PackDirectory(*src, *dst)); });
}

void AddUnpackCommand(CLI::App& tables, int* exit_code) {
  auto* unpack = tables.add_subcommand(
      "unpack", "Decrypt the six <Name>.csv.enc tables of SRC into <Name>.csv in DST");
  auto src = std::make_shared<std::string>();
  auto dst = std::make_shared<std::string>();
  unpack->add_option("SRC", *src, "directory of encrypted tables")->required();
  unpack->add_option("DST", *dst, "directory for the plain CSV tables")->required();
  unpack->callback([=] { *exit_code = ExitCodeOf(UnpackDirectory(*src, *dst)); });
}

void AddCheckCommand(CLI::App& tables, int* exit_code) {
  auto* check = tables.add_subcommand(
      "check", "Report rows loaded, early stops and broken names of the tables in DIR");
  auto dir = std::make_shared<std::string>();
  check->add_option("DIR", *dir, "directory of encrypted tables")->required();
  check->callback([=] {
    // The tables are looked for by directory and file name glued together.
    std::string location = *dir;
    if (!location.empty() && location.back() != '/') location += '/';
    TableCheck result = CheckTables(location);
    std::cout << FormatTableCheck(result);
    *exit_code = result.HasFaults() ? kExitTableFaults : kExitOk;
  });
}

}  // namespace

void AddTablesCommands(CLI::App& app, int* exit_code) {
  auto* tables =
      app.add_subcommand("tables", "Pack, unpack and check reference tables");
  tables->require_subcommand(1);
  AddPackCommand(*tables, exit_code);
  AddUnpackCommand(*tables, exit_code);
  AddCheckCommand(*tables, exit_code);
}

}  // namespace zorvel::cli
