// zorvel: the command-line host of the plug-in. Groups JSON Lines requests
// through libzorvel.so, prints its schema and identity, and packs, unpacks
// and checks reference tables.
#include <cstring>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "plugin_loader.h"

namespace {

constexpr char kExitCodes[] = R"(Exit codes:
  0  success
  1  usage: bad arguments, an unknown command or mode, an output that is an input
  3  plug-in not found or missing an export
  4  a table directory lacks one of the six files (group, tables pack, unpack)
  5  an input file could not be read (an earlier output file is kept)
  6  some input lines were not answered: not valid JSON, not a request, or a
     whole request under --mode (each is answered {} and named on standard error)
  7  CS_Prepare answered false under --strict
  8  table faults: found by tables check, or a damaged table refused by
     tables pack or unpack
  9  output could not be written (the run stops))";

// The host's version and, when it can be loaded, the plug-in's.
std::string Versions() {
  std::string text = std::string("zorvel ") + ZORVEL_HOST_VERSION;
  zorvel::cli::PluginLoader loader;
  std::string error;
  const std::string path = zorvel::cli::DefaultPluginPath();
  if (path.empty() || !loader.Load(path, &error)) return text + "\nplug-in: not found";
  const zorvel::cli::PluginApi& api = loader.api();
  return text + "\nplug-in: " + api.CS_PluginName() + " " + std::to_string(api.CS_VersionMjr()) +
         "." + std::to_string(api.CS_VersionMnr()) + " (" + api.CS_Description() +
         ", interface " + std::to_string(api.GetVersion()) + ", " + path + ")";
}

// CLI11 says only that a subcommand is required when the word given is not
// one; name it instead.
bool NamesUnknownCommand(const CLI::App& app, int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return false;
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_name() == argv[1]) {
      if (sub->get_name() != "tables" || argc < 3 || argv[2][0] == '-') return false;
      for (const CLI::App* table_command : sub->get_subcommands({})) {
        if (table_command->get_name() == argv[2]) return false;
      }
      std::cerr << "zorvel: unknown command 'tables " << argv[2]
                << "' (the tables commands are pack, unpack and check)\n";
      return true;
    }
  }
  std::cerr << "zorvel: unknown command '" << argv[1]
            << "' (the commands are group, explain, schema, columns, info and tables; see zorvel --help)\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zorvel: group hospital activity into HRGs with the Zorvel plug-in"};
  app.require_subcommand(1);
  app.footer(kExitCodes);
  app.set_version_flag("--version", Versions, "Print the host's and the plug-in's versions");
  int exit_code = zorvel::cli::kExitOk;
  zorvel::cli::AddGroupCommand(app, &exit_code);
  zorvel::cli::AddExplainCommand(app, &exit_code);
  zorvel::cli::AddInfoCommands(app, &exit_code);
  zorvel::cli::AddTablesCommands(app, &exit_code);
  if (NamesUnknownCommand(app, argc, argv)) return zorvel::cli::kExitUsage;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version requests exit 0; every bad command line exits with
    // the one usage code.
    return app.exit(error) == 0 ? zorvel::cli::kExitOk : zorvel::cli::kExitUsage;
  }
  return exit_code;
}
