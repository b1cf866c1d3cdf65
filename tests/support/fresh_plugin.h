// Test support: runs a scenario against the built plug-in in a fresh child
// process, since the plug-in holds one processor per loaded library. The
// child loads the library with dlopen, resolves the exports by name as a host
// does, runs the scenario (whose GoogleTest assertions print as usual), unloads
// the library and exits non-zero when an assertion failed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "plugin/zorvel_plugin.h"

namespace zorvel::testing {

// The exports of the loaded plug-in.
struct PluginExports {
  int32_t (*GetVersion)(void) = nullptr;
  IProcessor* (*GetPlugin)(void) = nullptr;
  void (*Info)(PluginInfo*) = nullptr;
  const char* (*CS_PluginName)(void) = nullptr;
  int32_t (*CS_VersionMjr)(void) = nullptr;
  int32_t (*CS_VersionMnr)(void) = nullptr;
  const char* (*CS_ProtocolFormat)(void) = nullptr;
  const char* (*CS_Description)(void) = nullptr;
  uint32_t (*CS_GetSchema)(char*, uint32_t) = nullptr;
  bool (*CS_Prepare)(const char*) = nullptr;
  uint32_t (*CS_Process)(int32_t, const char*, char*, uint32_t) = nullptr;

  // The response to `request` written into a buffer of `size` bytes (text up
  // to the first NUL), with the count in `*count` when given.
  std::string Process(const char* request, uint32_t size = 1 << 16,
                      uint32_t* count = nullptr) const;
  // The schema document, with the count in `*count` when given.
  std::string Schema(uint32_t size = 1 << 20, uint32_t* count = nullptr) const;
};

using Scenario = std::function<void(const PluginExports&)>;

// Runs `scenario` in a forked child against the library at
// ZORVEL_PLUGIN_PATH; the test fails unless the child resolved every export,
// passed every assertion and exited normally.
void RunInFreshProcess(const Scenario& scenario);

}  // namespace zorvel::testing
