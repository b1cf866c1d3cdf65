// The whole mission on national-scale tables: loads one or more builds of the
// plug-in by path, through their exports only, and measures them side by side
// in one run against the floor of the same work done by RapidJSON alone.
//
//   zorvel_mission_bench TABLES_DIR REQUESTS_DIR [--rounds N]
//                        [--prepare-rounds N] [--kinds K,K] [--with-trace]
//                        LIB.so [LIB.so...]
//
// TABLES_DIR holds the six packed tables; REQUESTS_DIR holds KIND.jsonl for
// the kinds below (missing kinds are skipped). For every library: CS_Prepare
// seconds and the peak resident memory of a fresh process that prepared
// (CPU seconds, best of the prepare rounds, a fresh child each), then, per kind, requests and
// episodes per second on one core (process CPU time, best of the rounds, the
// libraries interleaved round by round) and heap allocations per request.
// The floor of a kind is RapidJSON's SAX reader with a handler that does
// nothing over the same requests plus its writer over the same response
// texts (parsed beforehand); the floor of CS_Prepare is bare decryption of
// the same table bytes, already in memory. Every library's responses are
// compared byte for byte with the first library's; the run fails when any
// differ. With --with-trace each kind is measured a second time, as
// "KIND+trace", with "Trace": true added to every request; those answers
// are not compared (a build without the trace ignores the member), and
// their floor writes the first library's answers.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/writer.h>

#include "refdata/blowfish_cipher.h"

// Every heap allocation of the process, the plug-ins' included: the
// executable exports these, so a library loaded later binds to them.
namespace {
uint64_t g_allocations = 0;
}  // namespace

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

void* malloc(size_t n) {
  ++g_allocations;
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t m) {
  ++g_allocations;
  return __libc_calloc(n, m);
}
void* realloc(void* p, size_t n) {
  ++g_allocations;
  return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}

namespace {

constexpr const char* kKinds[] = {"apc1", "apcmulti", "acc", "pcc",
                                  "ncc",  "nac",      "em",  "nrd"};
constexpr const char* kTableFiles[] = {
    "ValidationLists.csv.enc", "Lists.csv.enc", "RuleDefs.csv.enc",
    "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc", "Code.csv.enc"};
constexpr std::string_view kTableKey = "K_4826tamarisk";
constexpr uint32_t kBufferSize = 1 << 22;

using PrepareFn = bool (*)(const char*);
using ProcessFn = uint32_t (*)(int32_t, const char*, char*, uint32_t);

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// A memory figure of this process in MB: "VmHWM:" the peak resident set,
// "VmRSS:" the resident set now.
double StatusMb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::atof(line.c_str() + std::strlen(key)) / 1024;
  }
  return 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Library {
  std::string path;
  void* handle = nullptr;
  PrepareFn prepare = nullptr;
  ProcessFn process = nullptr;
  double prepare_seconds = 0;
  double reprepared_mb = 0;  // resident after preparing 11 more times
  double peak_mb = 0;
};

bool Open(Library& lib) {
  lib.handle = dlopen(lib.path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib.handle == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", lib.path.c_str(), dlerror());
    return false;
  }
  lib.prepare = reinterpret_cast<PrepareFn>(dlsym(lib.handle, "CS_Prepare"));
  lib.process = reinterpret_cast<ProcessFn>(dlsym(lib.handle, "CS_Process"));
  return lib.prepare != nullptr && lib.process != nullptr;
}

// Prepares in a fresh child process, so that the peak resident memory is the
// library's own; the child reports seconds and MB through a pipe.
void MeasurePrepare(Library& lib, const std::string& tables) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    double result[3] = {-1, 0, 0};
    if (Open(lib)) {
      const double start = CpuSeconds();
      const bool ok = lib.prepare(tables.c_str());
      result[0] = ok ? CpuSeconds() - start : -1;
      result[1] = StatusMb("VmHWM:");
      // A host may prepare again and again, now and then with a wrong
      // folder: the memory of one load must not pile up.
      for (int again = 0; again < 10; ++again)
        lib.prepare(again % 3 == 1 ? "/nonexistent/" : tables.c_str());
      lib.prepare(tables.c_str());
      result[2] = StatusMb("VmRSS:");
    }
    if (write(fds[1], result, sizeof result) != sizeof result) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  double result[3] = {-1, 0, 0};
  if (read(fds[0], result, sizeof result) != sizeof result) result[0] = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  lib.prepare_seconds = result[0];
  lib.peak_mb = result[1];
  lib.reprepared_mb = result[2];
}

double BareDecryptionSeconds(const std::string& tables, int rounds) {
  std::vector<std::string> files;
  for (const char* name : kTableFiles) files.push_back(ReadFile(tables + name));
  zorvel::BlowfishCipher cipher;
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    std::vector<std::vector<uint8_t>> out;
    const double start = CpuSeconds();
    cipher.SetKey(kTableKey);
    for (const std::string& file : files) {
      std::vector<uint8_t> plain((file.size() + 7) / 8 * 8);
      std::vector<uint8_t> in(plain.size());
      std::memcpy(in.data(), file.data(), file.size());
      cipher.DecryptBuffer(in.data(), plain.data(), file.size());
      out.push_back(std::move(plain));
    }
    best = std::min(best, CpuSeconds() - start);
  }
  return best;
}

// A RapidJSON output stream into a fixed buffer, as cheap as a stream can be.
struct FixedStream {
  typedef char Ch;
  char* buffer;
  size_t size;
  size_t position = 0;
  void Put(char c) {
    if (position < size) buffer[position] = c;
    ++position;
  }
  void Flush() {}
};

struct Kind {
  std::string name;
  std::vector<std::string> requests;
  size_t episodes = 0;
  bool compare = true;  // fail the run when the libraries' answers differ
  std::vector<std::string> responses;  // of the first library
  // The parsed responses share one pool, so that they lie together in
  // memory as one document's values would: a pool of its own for each (64
  // KiB first chunks) spread them over a gigabyte, and how fast the floor
  // then wrote them depended on where the heap put them.
  std::unique_ptr<rapidjson::MemoryPoolAllocator<>> response_pool =
      std::make_unique<rapidjson::MemoryPoolAllocator<>>();
  std::vector<std::unique_ptr<rapidjson::Document>> parsed_responses;
};

size_t CountEpisodes(const std::string& request) {
  rapidjson::Document document;
  document.Parse(request.c_str());
  if (!document.IsObject()) return 0;
  auto spell = document.FindMember("Spell");
  if (spell == document.MemberEnd() || !spell->value.IsObject()) return 0;
  size_t count = 0;
  for (const auto& member : spell->value.GetObject()) {
    if (std::strncmp(member.name.GetString(), "Episodes", 8) == 0 &&
        member.value.IsArray()) {
      count += member.value.Size();
    }
  }
  return count;
}

bool LoadKind(const std::string& dir, const char* name, Kind& kind) {
  std::ifstream in(dir + name + std::string(".jsonl"));
  if (!in) return false;
  kind.name = name;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    kind.episodes += CountEpisodes(line);
    kind.requests.push_back(std::move(line));
  }
  return !kind.requests.empty();
}

// One pass of `lib` over the kind's requests: CPU seconds, allocations.
double RunPass(const Library& lib, const Kind& kind, char* buffer,
               uint64_t* allocations) {
  const uint64_t before = g_allocations;
  const double start = CpuSeconds();
  for (const std::string& request : kind.requests) {
    lib.process(0, request.c_str(), buffer, kBufferSize);
  }
  const double seconds = CpuSeconds() - start;
  *allocations = g_allocations - before;
  return seconds;
}

// Collects every library's responses; counts those that differ from the
// first library's.
size_t CompareResponses(const std::vector<Library>& libs, Kind& kind,
                        char* buffer) {
  size_t differing = 0;
  for (size_t l = 0; l < libs.size(); ++l) {
    for (size_t i = 0; i < kind.requests.size(); ++i) {
      const uint32_t n =
          libs[l].process(0, kind.requests[i].c_str(), buffer, kBufferSize);
      std::string response(buffer, n > 0 ? std::min(n, kBufferSize) - 1 : 0);
      if (l == 0) {
        kind.responses.push_back(std::move(response));
      } else if (kind.compare && response != kind.responses[i]) {
        ++differing;
      }
    }
  }
  for (const std::string& response : kind.responses) {
    auto document = std::make_unique<rapidjson::Document>(kind.response_pool.get());
    document->Parse(response.c_str());
    kind.parsed_responses.push_back(std::move(document));
  }
  return differing;
}

// Iterative and in place over a copy of each text, as the plug-in reads.
constexpr unsigned kFloorParseFlags =
    rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag;

double FloorReadSeconds(const Kind& kind) {
  rapidjson::Reader reader;
  rapidjson::BaseReaderHandler<> handler;
  std::vector<char> copy;
  const double start = CpuSeconds();
  for (const std::string& request : kind.requests) {
    copy.assign(request.c_str(), request.c_str() + request.size() + 1);
    rapidjson::InsituStringStream stream(copy.data());
    reader.Parse<kFloorParseFlags>(stream, handler);
  }
  return CpuSeconds() - start;
}

double FloorWriteSeconds(const Kind& kind, char* buffer) {
  const double start = CpuSeconds();
  for (const auto& document : kind.parsed_responses) {
    FixedStream stream{buffer, kBufferSize};
    rapidjson::Writer<FixedStream> writer(stream);
    document->Accept(writer);
  }
  return CpuSeconds() - start;
}

struct KindResult {
  double floor_read = 1e9;
  double floor_write = 1e9;
  std::vector<double> seconds;
  std::vector<uint64_t> allocations;
};

void PrintKind(const Kind& kind, const KindResult& result,
               const std::vector<Library>& libs, size_t differing) {
  const double n = static_cast<double>(kind.requests.size());
  const double floor = result.floor_read + result.floor_write;
  std::printf("%-9s %7zu req %8zu ep  floor %6.2f us/req (read %.2f, write %.2f)%s\n",
              kind.name.c_str(), kind.requests.size(), kind.episodes,
              floor / n * 1e6, result.floor_read / n * 1e6,
              result.floor_write / n * 1e6,
              differing ? "  RESPONSES DIFFER" : "");
  for (size_t l = 0; l < libs.size(); ++l) {
    const double s = result.seconds[l];
    std::printf("  [%zu] %9.0f req/s %9.0f ep/s %7.2f us/req  x%.2f floor"
                "  %6.1f allocs/req  %.2fx of [0]\n",
                l, n / s, kind.episodes / s, s / n * 1e6, s / floor,
                result.allocations[l] / n, result.seconds[0] / s);
  }
  if (differing) std::printf("  %zu responses differ from [0]\n", differing);
}

int Usage() {
  std::fprintf(stderr,
               "usage: zorvel_mission_bench TABLES_DIR REQUESTS_DIR "
               "[--rounds N] [--prepare-rounds N] [--kinds K,K] [--with-trace] "
               "LIB.so [LIB.so...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  std::string tables = argv[1];
  std::string requests = argv[2];
  if (tables.back() != '/') tables += '/';
  if (requests.back() != '/') requests += '/';
  int rounds = 3;
  int prepare_rounds = 3;
  std::string only_kinds;
  bool with_trace = false;
  std::vector<Library> libs;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--prepare-rounds") == 0 && i + 1 < argc) {
      prepare_rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--kinds") == 0 && i + 1 < argc) {
      only_kinds = "," + std::string(argv[++i]) + ",";
    } else if (std::strcmp(argv[i], "--with-trace") == 0) {
      with_trace = true;
    } else {
      libs.push_back(Library{argv[i]});
    }
  }
  if (libs.empty()) return Usage();

  const double decryption = BareDecryptionSeconds(tables, prepare_rounds);
  std::printf("bare decryption of the tables: %.3f s\n", decryption);
  for (size_t l = 0; l < libs.size(); ++l) {
    // The best of the rounds, each in a fresh process.
    Library best = libs[l];
    best.prepare_seconds = 1e9;
    for (int r = 0; r < prepare_rounds; ++r) {
      MeasurePrepare(libs[l], tables);
      best.reprepared_mb = std::max(best.reprepared_mb, libs[l].reprepared_mb);
      if (libs[l].prepare_seconds >= 0 &&
          libs[l].prepare_seconds < best.prepare_seconds) {
        best.prepare_seconds = libs[l].prepare_seconds;
        best.peak_mb = libs[l].peak_mb;
      }
    }
    libs[l].prepare_seconds = best.prepare_seconds;
    libs[l].peak_mb = best.peak_mb;
    libs[l].reprepared_mb = best.reprepared_mb;
    if (best.prepare_seconds == 1e9) {
      std::printf("[%zu] %s\n    CS_Prepare failed in every round\n", l,
                  libs[l].path.c_str());
      continue;
    }
    std::printf("[%zu] %s\n    CS_Prepare %.3f s (x%.2f decryption), peak "
                "resident %.0f MB, resident after 11 more %.0f MB\n",
                l, libs[l].path.c_str(), libs[l].prepare_seconds,
                libs[l].prepare_seconds / decryption, libs[l].peak_mb,
                libs[l].reprepared_mb);
  }
  for (Library& lib : libs) {
    if (!Open(lib) || !lib.prepare(tables.c_str())) {
      std::fprintf(stderr, "cannot prepare %s\n", lib.path.c_str());
      return 1;
    }
  }

  std::vector<char> buffer(kBufferSize);
  int failures = 0;
  for (const char* name : kKinds) {
    if (!only_kinds.empty() &&
        only_kinds.find("," + std::string(name) + ",") == std::string::npos) {
      continue;
    }
    Kind loaded;
    if (!LoadKind(requests, name, loaded)) continue;
    std::vector<Kind> variants(1);
    if (with_trace) {
      Kind traced;
      traced.name = loaded.name + "+trace";
      traced.episodes = loaded.episodes;
      traced.compare = false;
      for (const std::string& request : loaded.requests) {
        // Every generated request is an object with members.
        traced.requests.push_back("{\"Trace\":true," + request.substr(1));
      }
      variants.push_back(std::move(traced));
    }
    variants[0] = std::move(loaded);
    for (Kind& kind : variants) {
      const size_t differing = CompareResponses(libs, kind, buffer.data());
      if (differing) failures = 1;
      KindResult result;
      result.seconds.assign(libs.size(), 1e9);
      result.allocations.assign(libs.size(), 0);
      for (int r = 0; r < rounds; ++r) {
        result.floor_read = std::min(result.floor_read, FloorReadSeconds(kind));
        result.floor_write =
            std::min(result.floor_write, FloorWriteSeconds(kind, buffer.data()));
        for (size_t l = 0; l < libs.size(); ++l) {
          uint64_t allocations = 0;
          const double s = RunPass(libs[l], kind, buffer.data(), &allocations);
          result.seconds[l] = std::min(result.seconds[l], s);
          result.allocations[l] = allocations;
        }
      }
      PrintKind(kind, result, libs, differing);
      std::fflush(stdout);
    }
  }
  return failures;
}
