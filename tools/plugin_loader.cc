// Run-time loading of the plug-in and the default locations of the plug-in
// and the demo tables.
#include "plugin_loader.h"

#include "mode_codes.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "refdata/reference_data.h"
#include "refdata/table_check.h"

#ifndef ZORVEL_INSTALL_LIBDIR
#define ZORVEL_INSTALL_LIBDIR "lib"
#endif

namespace zorvel::cli {
namespace {

bool IsFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDir(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

template <typename Function>
bool Resolve(void* handle, const char* name, Function* target,
             std::string* error) {
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    *error = std::string("the plug-in lacks the export ") + name;
    return false;
  }
  *target = reinterpret_cast<Function>(symbol);
  return true;
}

std::string InstalledLibDir() {
  std::string libdir = ZORVEL_INSTALL_LIBDIR;
  if (!libdir.empty() && libdir.front() == '/') return libdir + "/";
  return ExecutableDir() + "../" + libdir + "/";
}

}  // namespace

PluginLoader::~PluginLoader() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool PluginLoader::Load(const std::string& path, std::string* error) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    *error = "cannot load the plug-in " + path + ": " +
             (reason != nullptr ? reason : "unknown error");
    return false;
  }
  bool ok = Resolve(handle_, "GetVersion", &api_.GetVersion, error) &&
            Resolve(handle_, "GetPlugin", &api_.GetPlugin, error) &&
            Resolve(handle_, "Info", &api_.Info, error) &&
            Resolve(handle_, "CS_PluginName", &api_.CS_PluginName, error) &&
            Resolve(handle_, "CS_VersionMjr", &api_.CS_VersionMjr, error) &&
            Resolve(handle_, "CS_VersionMnr", &api_.CS_VersionMnr, error) &&
            Resolve(handle_, "CS_ProtocolFormat", &api_.CS_ProtocolFormat,
                    error) &&
            Resolve(handle_, "CS_Description", &api_.CS_Description, error) &&
            Resolve(handle_, "CS_GetSchema", &api_.CS_GetSchema, error) &&
            Resolve(handle_, "CS_Prepare", &api_.CS_Prepare, error) &&
            Resolve(handle_, "CS_Process", &api_.CS_Process, error);
  if (!ok) *error += " (" + path + ")";
  return ok;
}

std::string ExecutableDir() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return std::string();
  std::string exe(path, static_cast<size_t>(length));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

std::string DefaultPluginPath() {
  const std::string exe_dir = ExecutableDir();
  const std::string candidates[] = {exe_dir + "libzorvel.so",
                                    exe_dir + "../lib/libzorvel.so",
                                    InstalledLibDir() + "libzorvel.so"};
  for (const std::string& candidate : candidates) {
    if (IsFile(candidate)) return candidate;
  }
  return std::string();
}

std::string DefaultDataDir() {
  const std::string exe_dir = ExecutableDir();
  const std::string candidates[] = {exe_dir + "share/zorvel/demo/",
                                    exe_dir + "../share/zorvel/demo/"};
  for (const std::string& candidate : candidates) {
    if (IsDir(candidate)) return candidate;
  }
  return std::string();
}

std::string WithTrailingSeparator(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  return dir;
}

std::string_view DocumentBuffer::Fetch(const Fill& fill) {
  uint32_t count = fill(buffer_.data(), static_cast<uint32_t>(buffer_.size()));
  if (count == 0) return std::string_view();
  if (count >= buffer_.size()) {
    buffer_.resize(static_cast<size_t>(count) + 1);
    count = fill(buffer_.data(), static_cast<uint32_t>(buffer_.size()));
    if (count == 0) return std::string_view();
  }
  return std::string_view(buffer_.data(), strnlen(buffer_.data(), buffer_.size()));
}

int OpenPlugin(const std::string& path, PluginLoader& loader) {
  std::string chosen = path.empty() ? DefaultPluginPath() : path;
  if (chosen.empty()) {
    std::cerr << "zorvel: libzorvel.so not found next to the program or in "
                 "its library directory; name it with --plugin\n";
    return kExitPluginMissing;
  }
  std::string error;
  if (!loader.Load(chosen, &error)) {
    std::cerr << "zorvel: " << error << "\n";
    return kExitPluginMissing;
  }
  return kExitOk;
}

int PrepareTables(const PluginApi& api, const std::string& data_dir,
                  bool strict) {
  std::string dir = data_dir.empty() ? DefaultDataDir() : data_dir;
  if (dir.empty()) {
    std::cerr << "zorvel: the demo tables were not found next to the "
                 "program; name a table directory with --data\n";
    return kExitTablesMissing;
  }
  dir = WithTrailingSeparator(dir);
  bool complete = true;
  bool plain_tables = false;
  for (const char* name : kTableFileNames) {
    if (!IsFile(dir + name)) {
      struct stat info;
      const bool exists = lstat((dir + name).c_str(), &info) == 0;
      std::cerr << "zorvel: table file " << (exists ? "not a regular file" : "missing")
                << ": " << dir << name << "\n";
      complete = false;
      const std::string plain(name, std::string_view(name).rfind(".enc"));
      plain_tables = plain_tables || IsFile(dir + plain);
    }
  }
  if (!complete) {
    if (plain_tables) {
      std::cerr << "zorvel: " << dir << " holds plain CSV tables; --data wants "
                << "packed ones: zorvel tables pack " << dir << " PACKED_DIR\n";
    }
    return kExitTablesMissing;
  }
  if (!api.CS_Prepare(dir.c_str())) {
    const std::vector<std::string> codes = ModeCodes(api);
    std::cerr << "zorvel: " << (strict ? "error" : "warning") << ": CS_Prepare answered false for "
              << dir << ": ";
    if (codes.empty()) {
      std::cerr << "the tables did not load, so no mode groups";
    } else {
      std::cerr << "these modes could not set themselves up (a table they need is "
                   "missing or faulty) and answer every request with their own error:";
      for (const std::string& code : ModesNotReady(api, codes)) std::cerr << " " << code;
    }
    std::cerr << ". 'zorvel tables check " << dir << "' checks the tables"
              << (strict ? "" : "; --strict stops here") << ".\n";
    // The plug-in says nothing of why; the checker reads the same files.
    std::istringstream faults(FormatTableCheck(CheckTables(dir), /*faults_only=*/true));
    for (std::string line; std::getline(faults, line);) std::cerr << "zorvel:   " << line << "\n";
    if (strict) return kExitPrepareFailed;
  }
  return kExitOk;
}

}  // namespace zorvel::cli
