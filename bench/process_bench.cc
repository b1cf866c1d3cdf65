// Requests per second of CS_Process on typical one-episode admitted patient
// care, outpatient, adult critical care, emergency medicine and renal requests
// over the packed demo tables.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "plugin/zorvel_plugin.h"

namespace {

// Prepares the demo tables once for the whole binary.
void PrepareDemoTables(benchmark::State& state) {
  static const bool prepared = CS_Prepare(ZORVEL_DEMO_DIR);
  if (!prepared) state.SkipWithError("CS_Prepare failed on the demo tables");
}

void ProcessRequest(benchmark::State& state, const char* request) {
  PrepareDemoTables(state);
  std::vector<char> buffer(1 << 14);
  for (auto _ : state) {
    const uint32_t length = CS_Process(0, request, buffer.data(),
                                       static_cast<uint32_t>(buffer.size()));
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations());
}

constexpr const char kAccRequest[] =
    R"({"Group":"ACC","Spell":{"Id":"ACC-1","Episodes":[{"Id":"1","ACC_CCUF":"01",)"
    R"("BCSD":"2","ARSD":"1","CCL2D":"1","CCL3D":"3","CC_Start_Date":"20190301",)"
    R"("CC_Discharge_Date":"20190305"}]}})";

constexpr const char kEmRequest[] =
    R"({"Group":"EM","Spell":{"Id":"EM-1","Episodes":[{"Id":"1","Age":"45",)"
    R"("AEPatGroup":"10","Invest":["05","01","03"],"Treat":["05","01"]}]}})";

constexpr const char kNrdRequest[] =
    R"({"Group":"NRD","Spell":{"Id":"NRD-2","Episodes":[{"Id":"1","Age":"54",)"
    R"("RenalMod":"HD","RenalSite":"SAT","RenalAccess":"CVC","HBV":"neg",)"
    R"("HCV":"pos","HIV":"neg"}]}})";

// Four diagnoses (the second a complication), three procedures: a dominant
// one, a lower-ranked one and an approach code.
constexpr const char kApcRequest[] =
    R"({"Group":"APC","Spell":{"Id":"APC-1","Episodes":[{"Id":"1","Age":"71","SEX":"1",)"
    R"("CLASSPAT":"1","ADMISORC":"19","ADMIMETH":"11","DISDEST":"19","DISMETH":"1",)"
    R"("EpiDur":"4","MAINSPEF":"110","TRETSPEF":"110",)"
    R"("Diagnosis":["M161","E119","I509","R509"],"Procedure":["L913","W371","Y761"]}]}})";

// A spell of three episodes: a medical episode, a transfer for surgery whose
// procedure dominates the spell, and a rehabilitation episode.
constexpr const char kApcSpellRequest[] =
    R"({"Group":"APC","Spell":{"Id":"APC-S","Episodes":[)"
    R"({"Id":"1","Age":"71","SEX":"1","CLASSPAT":"1","ADMISORC":"19","ADMIMETH":"21",)"
    R"("DISDEST":"51","DISMETH":"1","EpiDur":"3","MAINSPEF":"300","TRETSPEF":"300",)"
    R"("Diagnosis":["J189","I509","E119","R509"],"Procedure":[]},)"
    R"({"Id":"2","Age":"71","SEX":"1","CLASSPAT":"1","ADMISORC":"19","ADMIMETH":"21",)"
    R"("DISDEST":"51","DISMETH":"1","EpiDur":"5","MAINSPEF":"110","TRETSPEF":"110",)"
    R"("Diagnosis":["M161","E119","I509"],"Procedure":["W371","L913","Y761"]},)"
    R"({"Id":"3","Age":"71","SEX":"1","CLASSPAT":"1","ADMISORC":"19","ADMIMETH":"21",)"
    R"("DISDEST":"19","DISMETH":"1","EpiDur":"14","MAINSPEF":"314","TRETSPEF":"314",)"
    R"("REHABILITATIONDAYS":"9","Diagnosis":["I639","I10X"],"Procedure":["U501"]}]}})";

// A follow-up attendance with an outpatient procedure, an unbundled
// chemotherapy code and a code the chain looks up and finds nothing for.
constexpr const char kNacRequest[] =
    R"({"Group":"NAC","Spell":{"Id":"NAC-1","Episodes":[{"Id":"1","Age":"66","SEX":"2",)"
    R"("MAINSPEF":"370","TRETSPEF":"370","FIRSTATT":"2","Procedure":["X701","X623","S351"]}]}})";

void BM_ProcessApc(benchmark::State& state) { ProcessRequest(state, kApcRequest); }
void BM_ProcessApcSpell3(benchmark::State& state) { ProcessRequest(state, kApcSpellRequest); }
void BM_ProcessNac(benchmark::State& state) { ProcessRequest(state, kNacRequest); }
void BM_ProcessAcc(benchmark::State& state) { ProcessRequest(state, kAccRequest); }
void BM_ProcessEm(benchmark::State& state) { ProcessRequest(state, kEmRequest); }
void BM_ProcessNrd(benchmark::State& state) { ProcessRequest(state, kNrdRequest); }

BENCHMARK(BM_ProcessApc);
BENCHMARK(BM_ProcessApcSpell3);
BENCHMARK(BM_ProcessNac);
BENCHMARK(BM_ProcessAcc);
BENCHMARK(BM_ProcessEm);
BENCHMARK(BM_ProcessNrd);

}  // namespace
