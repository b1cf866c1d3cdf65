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
  CLI11_PARSE(app, argc, argv);
  return exit_code;
}
