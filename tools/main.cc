// zorvel: the command-line host of the plug-in. Groups JSON Lines requests
// through libzorvel.so, prints its schema and identity, and packs, unpacks
// and checks reference tables.
#include <CLI/CLI.hpp>

#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{"zorvel: group hospital activity into HRGs with the Zorvel plug-in"};
  app.require_subcommand(1);
  int exit_code = zorvel::cli::kExitOk;
  zorvel::cli::AddGroupCommand(app, &exit_code);
  zorvel::cli::AddInfoCommands(app, &exit_code);
  zorvel::cli::AddTablesCommands(app, &exit_code);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version requests exit 0; every bad command line exits with
    // the one usage code.
    return app.exit(error) == 0 ? zorvel::cli::kExitOk : zorvel::cli::kExitUsage;
  }
  return exit_code;
}
