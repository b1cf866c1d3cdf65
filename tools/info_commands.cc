// zorvel schema / info (placeholder until the host is built).
#include "commands.h"

namespace zorvel::cli {
void AddInfoCommands(CLI::App& app, int* exit_code) {
  app.add_subcommand("schema", "Print the schema document")->callback([exit_code] { *exit_code = kExitUsage; });
  app.add_subcommand("info", "Print the plug-in's identity")->callback([exit_code] { *exit_code = kExitUsage; });
}
}  // namespace zorvel::cli
