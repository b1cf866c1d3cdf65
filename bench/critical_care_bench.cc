// Throughput of the paediatric and neonatal critical care modes: CS_Process
// on 30-day spells over the packed demo tables, counted in episodes.
#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "plugin/zorvel_plugin.h"

namespace {

constexpr int kDays = 30;

// The CCYYMMDD text of day `day` (0-based) of November 2019 onwards.
std::string Day(int day) {
  char text[16];
  const int month = day < 30 ? 11 : 12;
  std::snprintf(text, sizeof text, "2019%02d%02d", month, day % 30 + 1);
  return text;
}

std::string Array(const std::vector<std::string>& codes) {
  std::string text = "[";
  for (size_t i = 0; i < codes.size(); ++i) {
    text += (i ? ",\"" : "\"") + codes[i] + "\"";
  }
  return text + "]";
}

// A month on the paediatric unit: ventilation, then weaning, then basic care.
std::string PccRequest() {
  std::string text = "{\"Group\":\"PCC\",\"Spell\":{\"Id\":\"B\",\"Episodes\":[";
  for (int i = 0; i < kDays; ++i) {
    const std::vector<std::string> codes =
        i < 5 ? std::vector<std::string>{"60", "21"}
              : i < 12 ? std::vector<std::string>{"30", "13"}
                       : std::vector<std::string>{"52"};
    text += std::string(i ? "," : "") + "{\"Id\":\"" + std::to_string(i + 1) +
            "\",\"CCDate\":\"" + Day(i) + "\",\"DISDATE\":\"" + Day(kDays - 1) +
            "\",\"DISMETH\":\"4\",\"PCC_CCUF\":\"01\",\"CCAC\":" +
            Array(codes) + ",\"Diagnosis\":[\"j960\",\"R509\"]," +
            "\"Procedure\":[\"X581\",\"E851\"]}";
  }
  return text + "]}}";
}

// A month of a preterm baby: intensive, high dependency, then special care.
std::string NccRequest() {
  std::string text = "{\"Group\":\"NCC\",\"Spell\":{\"Id\":\"B\",\"Episodes\":[";
  for (int i = 0; i < kDays; ++i) {
    const std::vector<std::string> codes =
        i < 5 ? std::vector<std::string>{"11", "21"}
              : i < 12 ? std::vector<std::string>{"13"}
                       : i < 25 ? std::vector<std::string>{"14", "15"}
                                : std::vector<std::string>{};
    text += std::string(i ? "," : "") + "{\"Id\":\"" + std::to_string(i + 1) +
            "\",\"CCDate\":\"" + Day(i) + "\",\"DISDATE\":\"" + Day(kDays - 1) +
            "\",\"NCC_CCUF\":\"01\",\"Age_days\":\"" + std::to_string(i) +
            "\",\"DISMETH\":\"1\",\"GestLen\":\"31\",\"PerWt\":\"1.45\","
            "\"CCAC\":" + Array(codes) + "}";
  }
  return text + "]}}";
}

void PrepareDemoTables() {
  static const bool prepared = [] {
    CS_Prepare(ZORVEL_DEMO_DIR);  // false while other modes are unbuilt
    return true;
  }();
  (void)prepared;
}

void RunSpell(benchmark::State& state, const std::string& request) {
  PrepareDemoTables();
  std::vector<char> buffer(1 << 16);
  for (auto _ : state) {
    const uint32_t length = CS_Process(0, request.c_str(), buffer.data(),
                                       static_cast<uint32_t>(buffer.size()));
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations() * kDays);
  if (std::string(buffer.data()).find("\"HRG\":\"UZ01Z\"") !=
          std::string::npos ||
      std::string(buffer.data()).find("\"HRG\"") == std::string::npos) {
    state.SkipWithError("the demo spell did not group cleanly");
  }
}

void BM_PccSpell30Days(benchmark::State& state) {
  RunSpell(state, PccRequest());
}
BENCHMARK(BM_PccSpell30Days);

void BM_NccSpell30Days(benchmark::State& state) {
  RunSpell(state, NccRequest());
}
BENCHMARK(BM_NccSpell30Days);

}  // namespace
