// The fields of each grouping mode as the plug-in's schema document
// publishes them: what a request of the mode may carry and what its answer
// holds, in schema order.
#pragma once

#include <string>
#include <vector>

#include "plugin_loader.h"

namespace zorvel::cli {

struct SchemaField {
  std::string name;
  bool is_array = false;  // "stringarray": a JSON array of texts
};

struct ModeSchema {
  std::string code;
  long max_episodes = 0;
  std::vector<SchemaField> spell_inputs;
  std::vector<SchemaField> episode_inputs;
  std::vector<SchemaField> spell_outputs;
  std::vector<SchemaField> episode_outputs;

  // Whether the answers carry `name` on the spell or on the episodes.
  bool Outputs(const std::string& name) const;
};

// Every mode of the plug-in's schema, in schema order; empty when no table
// set is loaded.
std::vector<ModeSchema> ModeSchemas(const PluginApi& api);

// The mode `code` of `schemas`; nullptr when there is none.
const ModeSchema* FindMode(const std::vector<ModeSchema>& schemas, const std::string& code);

}  // namespace zorvel::cli
