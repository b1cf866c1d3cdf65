// zorvel tables (placeholder until the table tools are built).
#include "commands.h"

namespace zorvel::cli {
void AddTablesCommands(CLI::App& app, int* exit_code) {
  auto* tables = app.add_subcommand("tables", "Pack, unpack and check reference tables");
  tables->require_subcommand(1);
  tables->add_subcommand("pack", "Encrypt CSV tables")->callback([exit_code] { *exit_code = kExitUsage; });
}
}  // namespace zorvel::cli
