// The options of zorvel group, shared by its JSON Lines and flat-file runs.
#pragma once

#include <string>
#include <vector>

#include "plugin_loader.h"

namespace zorvel::cli {

struct GroupOptions {
  std::string data_dir;
  std::string plugin_path;
  std::string mode;
  std::string output_path;
  bool strict = false;
  bool trace = false;  // add "Trace": true to every request
  std::vector<std::string> inputs;
  // Flat files.
  std::string input_format;  // "jsonl", "csv", or empty: chosen by the file name
  std::string out_dir;
  std::string columns_path;
  std::string spell_column = "SpellId";
  int jobs = 0;  // 0: one per core
  bool show_requests = false;  // write the requests a CSV extract makes, ungrouped
};

// Whether the inputs are CSV extracts: by --input-format, else by a name
// ending in ".csv" or ".csv.gz".
bool IsCsvInput(const GroupOptions& options);

// Groups a CSV extract (a flat-file run); returns the exit code.
int RunFlatFile(const PluginApi& api, const GroupOptions& options);

}  // namespace zorvel::cli
