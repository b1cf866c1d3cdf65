// The bare grouping rate: loads a plug-in by path, prepares it with a table
// folder, reads JSON Lines requests into memory and times CS_Process over all
// of them, answers into one reused buffer. The baseline the hosts' own
// overhead (reading files, writing outputs) is measured against.
//
// Usage: zorvel_bare_process PLUGIN TABLE_DIR REQUESTS.jsonl
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s PLUGIN TABLE_DIR REQUESTS.jsonl\n", argv[0]);
    return 1;
  }
  void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (plugin == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  auto prepare = reinterpret_cast<bool (*)(const char*)>(dlsym(plugin, "CS_Prepare"));
  auto process = reinterpret_cast<uint32_t (*)(int32_t, const char*, char*, uint32_t)>(
      dlsym(plugin, "CS_Process"));
  if (prepare == nullptr || process == nullptr) {
    std::fprintf(stderr, "the plug-in lacks CS_Prepare or CS_Process\n");
    return 1;
  }
  std::string dir = argv[2];
  if (dir.empty() || dir.back() != '/') dir += '/';
  if (!prepare(dir.c_str())) std::fprintf(stderr, "CS_Prepare answered false\n");

  std::vector<std::string> requests;
  std::ifstream in(argv[3]);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) requests.push_back(line);
  }
  std::vector<char> answer(1 << 20);
  const auto start = std::chrono::steady_clock::now();
  uint64_t bytes = 0;
  for (const std::string& request : requests) {
    bytes += process(0, request.c_str(), answer.data(), static_cast<uint32_t>(answer.size()));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu requests in %.3f s: %.0f requests/s (%.1f us each, %llu answer bytes)\n",
              requests.size(), seconds, requests.size() / seconds,
              1e6 * seconds / static_cast<double>(requests.size()),
              static_cast<unsigned long long>(bytes));
  return 0;
}
