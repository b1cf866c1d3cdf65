// Fork-per-scenario runner for host-style tests of the built plug-in.
#include "support/fresh_plugin.h"

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace zorvel::testing {
namespace {

template <typename Function>
bool Resolve(void* handle, const char* name, Function* target, Checks& checks) {
  void* symbol = dlsym(handle, name);
  checks.Expect(symbol != nullptr, std::string("export resolved: ") + name);
  *target = reinterpret_cast<Function>(symbol);
  return symbol != nullptr;
}

bool ResolveAll(void* handle, PluginExports& api, Checks& checks) {
  return Resolve(handle, "GetVersion", &api.GetVersion, checks) &
         Resolve(handle, "GetPlugin", &api.GetPlugin, checks) &
         Resolve(handle, "Info", &api.Info, checks) &
         Resolve(handle, "CS_PluginName", &api.CS_PluginName, checks) &
         Resolve(handle, "CS_VersionMjr", &api.CS_VersionMjr, checks) &
         Resolve(handle, "CS_VersionMnr", &api.CS_VersionMnr, checks) &
         Resolve(handle, "CS_ProtocolFormat", &api.CS_ProtocolFormat, checks) &
         Resolve(handle, "CS_Description", &api.CS_Description, checks) &
         Resolve(handle, "CS_GetSchema", &api.CS_GetSchema, checks) &
         Resolve(handle, "CS_Prepare", &api.CS_Prepare, checks) &
         Resolve(handle, "CS_Process", &api.CS_Process, checks);
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

[[noreturn]] void RunChild(const Scenario& scenario, int fd) {
  Checks checks;
  void* handle = dlopen(ZORVEL_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    checks.Expect(false, std::string("dlopen: ") + (error ? error : "?"));
  } else {
    PluginExports api;
    if (ResolveAll(handle, api, checks)) scenario(api, checks);
    dlclose(handle);  // destroys the processor
  }
  std::string report;
  for (const std::string& failure : checks.failures()) report += failure + "\n";
  WriteAll(fd, report);
  close(fd);
  _exit(0);
}

}  // namespace

std::string PluginExports::Process(const char* request, uint32_t size,
                                   uint32_t* count) const {
  std::vector<char> buffer(size, '\0');
  uint32_t result = CS_Process(0, request, buffer.data(), size);
  if (count != nullptr) *count = result;
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::string PluginExports::Schema(uint32_t size, uint32_t* count) const {
  std::vector<char> buffer(size, '\0');
  uint32_t result = CS_GetSchema(buffer.data(), size);
  if (count != nullptr) *count = result;
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

void Checks::Expect(bool condition, const std::string& what) {
  if (!condition) failures_.push_back(what);
}

void Checks::ExpectEq(const std::string& actual, const std::string& expected,
                      const std::string& what) {
  if (actual != expected) {
    failures_.push_back(what + ":\n    actual:   " + actual +
                        "\n    expected: " + expected);
  }
}

void Checks::ExpectEq(int64_t actual, int64_t expected,
                      const std::string& what) {
  if (actual != expected) {
    failures_.push_back(what + ": actual " + std::to_string(actual) +
                        ", expected " + std::to_string(expected));
  }
}

std::string RunInFreshProcess(const Scenario& scenario) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    close(fds[0]);
    RunChild(scenario, fds[1]);
  }
  close(fds[1]);
  std::string report;
  char chunk[4096];
  ssize_t n;
  while ((n = read(fds[0], chunk, sizeof(chunk))) > 0) report.append(chunk, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    report += "child process ended abnormally (status " +
              std::to_string(status) + ")\n";
  }
  return report;
}

}  // namespace zorvel::testing
