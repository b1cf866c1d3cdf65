// zorvel group (placeholder until the host is built).
#include "commands.h"

namespace zorvel::cli {
void AddGroupCommand(CLI::App& app, int* exit_code) {
  app.add_subcommand("group", "Group JSON Lines requests")->callback([exit_code] { *exit_code = kExitUsage; });
}
}  // namespace zorvel::cli
