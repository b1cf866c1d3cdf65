// Fork-per-scenario runner for host-style tests of the built plug-in.
#include "support/fresh_plugin.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel::testing {
namespace {

template <typename Function>
void Resolve(void* handle, const char* name, Function* target) {
  *target = reinterpret_cast<Function>(dlsym(handle, name));
  EXPECT_NE(*target, nullptr) << "export " << name;
}

[[noreturn]] void RunChild(const Scenario& scenario) {
  void* handle = dlopen(ZORVEL_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    ADD_FAILURE() << "dlopen: " << dlerror();
  } else {
    PluginExports api;
    Resolve(handle, "GetVersion", &api.GetVersion);
    Resolve(handle, "GetPlugin", &api.GetPlugin);
    Resolve(handle, "Info", &api.Info);
    Resolve(handle, "CS_PluginName", &api.CS_PluginName);
    Resolve(handle, "CS_VersionMjr", &api.CS_VersionMjr);
    Resolve(handle, "CS_VersionMnr", &api.CS_VersionMnr);
    Resolve(handle, "CS_ProtocolFormat", &api.CS_ProtocolFormat);
    Resolve(handle, "CS_Description", &api.CS_Description);
    Resolve(handle, "CS_GetSchema", &api.CS_GetSchema);
    Resolve(handle, "CS_Prepare", &api.CS_Prepare);
    Resolve(handle, "CS_Process", &api.CS_Process);
    if (!::testing::Test::HasFailure()) scenario(api);
    dlclose(handle);  // destroys the processor
  }
  fflush(stdout);
  _exit(::testing::Test::HasFailure() ? 1 : 0);
}

std::string TextOf(const std::vector<char>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace

std::string PluginExports::Process(const char* request, uint32_t size,
                                   uint32_t* count) const {
  std::vector<char> buffer(size, '\0');
  const uint32_t result = CS_Process(0, request, buffer.data(), size);
  if (count != nullptr) *count = result;
  return TextOf(buffer);
}

std::string PluginExports::Schema(uint32_t size, uint32_t* count) const {
  std::vector<char> buffer(size, '\0');
  const uint32_t result = CS_GetSchema(buffer.data(), size);
  if (count != nullptr) *count = result;
  return TextOf(buffer);
}

void RunInFreshProcess(const Scenario& scenario) {
  fflush(stdout);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0) << "fork failed";
  if (pid == 0) RunChild(scenario);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the scenario failed in its child process (status " << status << "), as printed above";
}

}  // namespace zorvel::testing
