// The mode codes the plug-in offers, read from its schema document, and the
// checks the host makes with them: that a --mode code exists, and which
// modes did not set themselves up when CS_Prepare answered false.
#pragma once

#include <string>
#include <vector>

#include "plugin_loader.h"

namespace zorvel::cli {

// The "Name" of every mode in the schema, in schema order; empty when no
// table set is loaded.
std::vector<std::string> ModeCodes(const PluginApi& api);

// Those of `codes` whose mode answers a request with its not-initialised
// error.
std::vector<std::string> ModesNotReady(const PluginApi& api, const std::vector<std::string>& codes);

// kExitOk when `mode` is one of the plug-in's codes, exactly as written;
// otherwise names the codes (and a close match) and returns kExitUsage.
int CheckModeCode(const PluginApi& api, const std::string& mode);

}  // namespace zorvel::cli
