// The subcommands of the zorvel command-line host and its exit codes. Each
// Add* function registers one group of subcommands on the application; the
// subcommand's callback runs it and stores its exit code in `*exit_code`.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zorvel::cli {

// Exit codes of the zorvel program.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,            // bad arguments, unknown command or mode, output onto input
  kExitPluginMissing = 3,    // plug-in not found or an export missing
  kExitTablesMissing = 4,    // table directory lacks one of the six files
  kExitInputUnreadable = 5,  // an input file could not be read
  kExitBadRecords = 6,       // some input lines were answered {}: not JSON, not a request,
                             // or a whole request under --mode
  kExitPrepareFailed = 7,    // CS_Prepare answered false under --strict
  kExitTableFaults = 8,      // tables check found faults, or pack/unpack refused a damaged table
  kExitIoError = 9,          // an output file could not be written
};

// The --data and --plugin options that every command preparing the plug-in
// takes.
void AddPluginOptions(CLI::App* command, std::string* data_dir, std::string* plugin_path);

void AddGroupCommand(CLI::App& app, int* exit_code);
void AddExplainCommand(CLI::App& app, int* exit_code);
void AddInfoCommands(CLI::App& app, int* exit_code);    // schema, info
void AddTablesCommands(CLI::App& app, int* exit_code);  // tables pack|unpack|check

}  // namespace zorvel::cli
