// Loads libzorvel.so at run time and resolves its exports by name, as any
// third-party host would. Also finds the plug-in and the demo tables relative
// to the running executable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/zorvel_plugin.h"

namespace zorvel::cli {

// The plug-in's exported functions, resolved by their undecorated names.
struct PluginApi {
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
};

// Owns one loaded plug-in; unloads it on destruction.
class PluginLoader {
 public:
  PluginLoader() = default;
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;
  ~PluginLoader();

  // Loads the library at `path` and resolves every export. Returns false
  // with a message in `*error` naming the library or the missing export.
  bool Load(const std::string& path, std::string* error);

  const PluginApi& api() const { return api_; }

 private:
  void* handle_ = nullptr;
  PluginApi api_;
};

// The directory of the running executable, with a trailing '/'; empty when
// it cannot be found.
std::string ExecutableDir();

// The plug-in next to the executable (build tree) or in the installed
// library directory; empty when none exists.
std::string DefaultPluginPath();

// The packed demo tables next to the executable (build tree) or in the
// installed data directory, with a trailing '/'; empty when none exists.
std::string DefaultDataDir();

// `dir` with a trailing '/' added when it lacks one.
std::string WithTrailingSeparator(std::string dir);

// A reusable buffer for the documents the plug-in writes.
class DocumentBuffer {
 public:
  using Fill = std::function<uint32_t(char* buffer, uint32_t size)>;

  // Calls `fill` with the buffer and, when the returned count shows that the
  // document may not have fitted (count >= size), grows the buffer to the
  // count plus one and calls it once more. Returns the document text, valid
  // until the next call; empty when `fill` answered 0.
  std::string_view Fetch(const Fill& fill);

 private:
  std::vector<char> buffer_ = std::vector<char>(64 * 1024);
};

// Loads the plug-in at `path`, or at the default location when `path` is
// empty. Prints a message on standard error and returns kExitPluginMissing
// when it cannot be loaded or lacks an export; kExitOk otherwise.
int OpenPlugin(const std::string& path, PluginLoader& loader);

// Checks that `data_dir` (the demo tables when empty) holds the six table
// files, naming each missing one on standard error, then calls CS_Prepare
// with the directory and a trailing separator. When CS_Prepare answers
// false, warns and returns kExitOk, or kExitPrepareFailed under `strict`.
// Returns kExitTablesMissing when a file is missing.
int PrepareTables(const PluginApi& api, const std::string& data_dir,
                  bool strict);

}  // namespace zorvel::cli
