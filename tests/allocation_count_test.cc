// Heap allocations of a request in steady state. A processor keeps the
// storage of each request for the next, so a typical adult critical care,
// emergency or renal request, once a request of its shape has been seen,
// makes no heap allocation at all: reading, grouping and writing reuse what
// the earlier one left. The bound is that measurement; a change that brings
// back an allocation on this path fails here, where a timing would drown in
// the noise of a shared machine.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/processor.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZORVEL_COUNT_WITH_SANITIZER_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZORVEL_COUNT_WITH_SANITIZER_HOOKS 1
#endif
#endif

#ifdef ZORVEL_COUNT_WITH_SANITIZER_HOOKS
// The sanitizer runtime calls these hooks on every allocation; the header
// that declares the installer does not come with every compiler.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, size_t),
    void (*free_hook)(const volatile void*));
#endif

namespace {

bool g_counting = false;
uint64_t g_allocations = 0;

void CountOne() {
  if (g_counting) ++g_allocations;
}

}  // namespace

#ifdef ZORVEL_COUNT_WITH_SANITIZER_HOOKS
namespace {
void OnMalloc(const volatile void*, size_t) { CountOne(); }
void OnFree(const volatile void*) {}
const bool kHooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
}  // namespace
#else
// Without the sanitizer every allocation of the process, operator new's
// included, passes through these.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* malloc(size_t n) {
  CountOne();
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t m) {
  CountOne();
  return __libc_calloc(n, m);
}
void* realloc(void* p, size_t n) {
  CountOne();
  return __libc_realloc(p, n);
}
}
namespace {
const bool kHooksInstalled = true;
}  // namespace
#endif

namespace zorvel {
namespace {

// The most heap allocations a typical request of these modes may make once
// a request of the same shape has been processed.
constexpr uint64_t kSteadyStateAllocations = 0;

// The demo tables, prepared once.
Processor& DemoProcessor() {
  static Processor* processor = [] {
    auto* p = new Processor;
    p->Prepare(ZORVEL_DEMO_DIR);
    return p;
  }();
  return *processor;
}

// Allocations of the last of three calls with `request`.
uint64_t SteadyStateAllocations(const char* request, std::string* response) {
  Processor& processor = DemoProcessor();
  std::vector<char> buffer(1 << 14);
  const auto size = static_cast<uint32_t>(buffer.size());
  processor.Process(0, request, buffer.data(), size);
  processor.Process(0, request, buffer.data(), size);
  g_allocations = 0;
  g_counting = true;
  processor.Process(0, request, buffer.data(), size);
  g_counting = false;
  *response = buffer.data();
  return g_allocations;
}

TEST(AllocationCount, AdultCriticalCarePeriodAllocatesNothingOnceWarm) {
  ASSERT_TRUE(kHooksInstalled);
  std::string response;
  const uint64_t count = SteadyStateAllocations(
      R"({"Group":"ACC","Spell":{"Id":"ACC-1","Episodes":[{"Id":"1","ACC_CCUF":"01",)"
      R"("BCSD":"2","ARSD":"1","CCL2D":"1","CCL3D":"3","CC_Start_Date":"20190301",)"
      R"("CC_Discharge_Date":"20190305"}]}})",
      &response);
  // The request was grouped, not turned away.
  EXPECT_NE(response.find(R"("HRG":")"), std::string::npos) << response;
  EXPECT_LE(count, kSteadyStateAllocations);
}

TEST(AllocationCount, EmergencyAttendanceAllocatesNothingOnceWarm) {
  ASSERT_TRUE(kHooksInstalled);
  std::string response;
  const uint64_t count = SteadyStateAllocations(
      R"({"Group":"EM","Spell":{"Id":"EM-1","Episodes":[{"Id":"1","Age":"45",)"
      R"("AEPatGroup":"10","Invest":["05","01","03"],"Treat":["05","01"]}]}})",
      &response);
  EXPECT_NE(response.find(R"("HRG":")"), std::string::npos) << response;
  EXPECT_LE(count, kSteadyStateAllocations);
}

TEST(AllocationCount, RenalEpisodeAllocatesNothingOnceWarm) {
  ASSERT_TRUE(kHooksInstalled);
  std::string response;
  const uint64_t count = SteadyStateAllocations(
      R"({"Group":"NRD","Spell":{"Id":"NRD-2","Episodes":[{"Id":"1","Age":"54",)"
      R"("RenalMod":"HD","RenalSite":"SAT","RenalAccess":"CVC","HBV":"neg",)"
      R"("HCV":"pos","HIV":"neg"}]}})",
      &response);
  EXPECT_NE(response.find(R"("HRG":")"), std::string::npos) << response;
  EXPECT_LE(count, kSteadyStateAllocations);
}

// A long request after a short one grows the storage once; going back to
// the short one needs no new storage.
TEST(AllocationCount, ShortRequestAfterALongerOneAllocatesNothing) {
  ASSERT_TRUE(kHooksInstalled);
  Processor& processor = DemoProcessor();
  std::vector<char> buffer(1 << 14);
  const auto size = static_cast<uint32_t>(buffer.size());
  const char* short_request =
      R"({"Group":"EM","Spell":{"Id":"EM-1","Episodes":[{"Id":"1","Age":"45",)"
      R"("AEPatGroup":"10","Invest":["05"],"Treat":["05"]}]}})";
  const char* long_request =
      R"({"Group":"EM","Spell":{"Id":"EM-2","Episodes":[{"Id":"1","Age":"45",)"
      R"("AEPatGroup":"10","Invest":["05","01","03","04","06"],)"
      R"("Treat":["05","01","02","03"],"Unused_Long_Item_Name_Here":"x"}]}})";
  processor.Process(0, short_request, buffer.data(), size);
  processor.Process(0, long_request, buffer.data(), size);
  g_allocations = 0;
  g_counting = true;
  processor.Process(0, short_request, buffer.data(), size);
  g_counting = false;
  EXPECT_LE(g_allocations, kSteadyStateAllocations);
}

}  // namespace
}  // namespace zorvel
