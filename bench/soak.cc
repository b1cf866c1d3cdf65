// Soak run: loads the built plug-in as a host does (dlopen, exports by name),
// prepares it once, and sends COUNT mixed requests of every mode through it:
// the example requests, each also cut in half (not JSON), with its mode code
// in lower case (unknown), and each asked with a buffer that holds its answer,
// with one of exactly its size and with the smallest buffer (256 bytes, so
// the answer is cut). The first pass over every combination is the reference;
// every later answer must match it byte for byte and in its count. Every
// million requests it prints the rate and the resident memory; the run fails
// when an answer differs or the resident memory grows more than 5% beyond
// what it was after the first million.
//
//   zorvel_soak [COUNT] [REPORT_EVERY]     defaults 10000000 and 1000000
#include <dlfcn.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using PrepareFn = bool (*)(const char*);
using ProcessFn = uint32_t (*)(int32_t, const char*, char*, uint32_t);

const char* const kModes[] = {"acc", "apc", "em", "nac", "ncc", "nrd", "pcc"};

// The value in kB of the line `key` of /proc/self/status.
long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

std::vector<std::string> Requests() {
  std::vector<std::string> requests;
  for (const char* mode : kModes) {
    std::ifstream in(std::string(ZORVEL_SOURCE_DIR) + "/examples/" + mode + ".jsonl");
    for (std::string line; std::getline(in, line);) {
      if (line.empty()) continue;
      requests.push_back(line);
      requests.push_back(line.substr(0, line.size() / 2));
      std::string lower = line;
      const size_t at = lower.find(R"("Group":")") + 9;
      for (size_t i = at; i < lower.size() && lower[i] != '"'; ++i) lower[i] = static_cast<char>(lower[i] | 0x20);
      requests.push_back(lower);
    }
  }
  return requests;
}

struct Answer {
  uint32_t count = 0;
  std::string bytes;  // the bytes written: the answer and its NUL, or the cut
};

// How many bytes a call that returned `count` into `size` bytes wrote.
size_t Written(uint32_t count, uint32_t size) { return count < size ? count : size; }

}  // namespace

int main(int argc, char** argv) {
  const uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10000000;
  const uint64_t every = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000;
  void* plugin = dlopen(ZORVEL_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (plugin == nullptr) {
    std::fprintf(stderr, "soak: %s\n", dlerror());
    return 2;
  }
  auto prepare = reinterpret_cast<PrepareFn>(dlsym(plugin, "CS_Prepare"));
  auto process = reinterpret_cast<ProcessFn>(dlsym(plugin, "CS_Process"));
  if (prepare == nullptr || process == nullptr || !prepare(ZORVEL_DEMO_DIR)) {
    std::fprintf(stderr, "soak: the plug-in did not prepare the demo tables\n");
    return 2;
  }
  const std::vector<std::string> requests = Requests();
  // Buffer sizes per request: room to spare, exactly the answer, the least.
  std::vector<uint32_t> sizes[3];
  std::vector<Answer> reference;
  std::vector<char> buffer(1 << 16);
  for (const std::string& request : requests) {
    const uint32_t full = process(0, request.c_str(), buffer.data(), buffer.size());
    const uint32_t kinds[3] = {1 << 16, full, 256};
    for (int kind = 0; kind < 3; ++kind) {
      sizes[kind].push_back(kinds[kind]);
      Answer answer;
      answer.count = process(0, request.c_str(), buffer.data(), kinds[kind]);
      answer.bytes.assign(buffer.data(), Written(answer.count, kinds[kind]));
      reference.push_back(answer);
    }
  }
  const size_t combinations = reference.size();
  std::printf("soak: %zu requests x 3 buffers, %llu calls, report every %llu\n", requests.size(),
              static_cast<unsigned long long>(count), static_cast<unsigned long long>(every));
  std::printf("%12s %10s %12s %12s\n", "requests", "rps", "rss_kb", "peak_rss_kb");
  long baseline_rss = -1;
  bool grew = false;
  uint64_t mismatches = 0;
  auto start = std::chrono::steady_clock::now();
  for (uint64_t i = 0; i < count; ++i) {
    // A stride prime to the number of combinations visits them all, mixed.
    const size_t pick = static_cast<size_t>((i * 7919) % combinations);
    const size_t request = pick / 3;
    const uint32_t size = sizes[pick % 3][request];
    const uint32_t got = process(0, requests[request].c_str(), buffer.data(), size);
    const Answer& expected = reference[pick];
    if (got != expected.count ||
        std::memcmp(buffer.data(), expected.bytes.data(), Written(got, size)) != 0) {
      if (mismatches++ < 5) std::fprintf(stderr, "soak: call %llu answered differently: %s\n",
                                         static_cast<unsigned long long>(i), requests[request].c_str());
    }
    if ((i + 1) % every == 0 || i + 1 == count) {
      const auto now = std::chrono::steady_clock::now();
      const double seconds = std::chrono::duration<double>(now - start).count();
      const uint64_t done = (i + 1) % every == 0 ? every : (i + 1) % every;
      const long rss = StatusKb("VmRSS:");
      if (baseline_rss < 0) baseline_rss = rss;
      grew = grew || rss > baseline_rss + baseline_rss / 20;
      std::printf("%12llu %10.0f %12ld %12ld\n", static_cast<unsigned long long>(i + 1),
                  done / seconds, rss, StatusKb("VmHWM:"));
      std::fflush(stdout);
      start = std::chrono::steady_clock::now();
    }
  }
  std::printf("soak: %llu answers differed from the reference; resident memory %s\n",
              static_cast<unsigned long long>(mismatches),
              grew ? "grew more than 5% after the first report" : "stayed within 5% of the first report");
  return mismatches == 0 && !grew ? 0 : 1;
}
