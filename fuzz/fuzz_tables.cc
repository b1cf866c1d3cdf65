// Fuzz target: the input becomes table files in an otherwise sound copy of
// the demo tables. The first byte chooses what: its low three bits name the
// table (0 to 5 in load order; 6 and 7 split the rest of the input at form
// feeds into consecutive tables from the first), and its bit 3 says whether
// the bytes are plain rows, packed with the project's packer, or a raw
// container, written as they are. Prepare must answer true or false without
// a fault; when true, a fixed set of requests, one per mode, must still get
// well-formed answers. Then the sound tables prepare again and answer as
// they did before.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "plugin/processor.h"
#include "refdata/reference_data.h"
#include "refdata/table_packer.h"

namespace {

using zorvel::Processor;
using zorvel::fuzz::Require;

const char* const kRequests[] = {
    R"({"Group":"APC","Spell":{"Id":"S","Episodes":[{"Id":"1","Age":"40","SEX":"1",)"
    R"("ADMIMETH":"11","CLASSPAT":"1","EpiDur":"2","Diagnosis":["A01","B02"],)"
    R"("Procedure":["X01","Y02"]}]}})",
    R"({"Group":"ACC","Spell":{"Id":"S","Episodes":[{"Id":"1","ACC_CCUF":"01","BCSD":"2",)"
    R"("CCL2D":"1","CCL3D":"3","CC_Start_Date":"20190301","CC_Discharge_Date":"20190305"}]}})",
    R"({"Group":"PCC","Spell":{"Id":"S","Episodes":[{"Id":"1","PCC_CCUF":"01","DISMETH":"1",)"
    R"("CCAC":["60","21"],"CCDate":"20190301"}]}})",
    R"({"Group":"NCC","Spell":{"Id":"S","Episodes":[{"Id":"1","NCC_CCUF":"01","DISMETH":"1",)"
    R"("Age_days":"3","PerWtBand":"2","GestLen":"31","CCAC":["11"]}]}})",
    R"({"Group":"NAC","Spell":{"Id":"S","Episodes":[{"Id":"1","Age":"40","SEX":"1",)"
    R"("MAINSPEF":"100","TRETSPEF":"100","FIRSTATT":"1","Procedure":["X01"]}]}})",
    R"({"Group":"EM","Spell":{"Id":"S","Episodes":[{"Id":"1","Age":"40",)"
    R"("Invest":["01"],"Treat":["01"],"AEPatGroup":"10"}]}})",
    R"({"Group":"NRD","Spell":{"Id":"S","Episodes":[{"Id":"1","Age":"40","RenalMod":"HD",)"
    R"("RenalSite":"H","HBV":"N","HCV":"N","HIV":"N"}]}})",
};

std::string Answer(Processor& processor, const char* request) {
  std::vector<char> buffer(1 << 16);
  const uint32_t count = processor.Process(0, request, buffer.data(), buffer.size());
  Require(count > 0 && count <= buffer.size(), "a fixed request's answer does not fit");
  return buffer.data();
}

std::vector<std::string> Answers(Processor& processor) {
  std::vector<std::string> answers;
  for (const char* request : kRequests) answers.push_back(Answer(processor, request));
  return answers;
}

struct Fixture {
  std::string dir = zorvel::fuzz::MakeScratchDir();
  std::vector<std::string> sound_files;
  std::vector<std::string> sound_answers;
  Processor processor;
  Fixture() {
    zorvel::fuzz::CopyDemoTables(dir);
    for (const char* name : zorvel::kTableFileNames) sound_files.push_back(ReadTable(name));
    Require(processor.Prepare(dir.c_str()), "the demo tables do not prepare");
    sound_answers = Answers(processor);
  }
  std::string ReadTable(const char* name) const;
};

std::string Fixture::ReadTable(const char* name) const {
  std::string bytes;
  if (FILE* file = std::fopen((dir + name).c_str(), "rb")) {
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, got);
    std::fclose(file);
  }
  return bytes;
}

// The tables the input stands for: (table index, bytes as plain rows or as
// a container).
std::vector<std::pair<int, std::string>> TablesOf(const uint8_t* data, size_t size) {
  std::vector<std::pair<int, std::string>> tables;
  if (size == 0) return tables;
  const int choice = data[0] & 7;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (choice < 6) {
    tables.emplace_back(choice, rest);
    return tables;
  }
  size_t start = 0;
  for (int index = 0; index < 6 && start <= rest.size(); ++index) {
    size_t end = rest.find('\f', start);
    if (end == std::string::npos) end = rest.size();
    tables.emplace_back(index, rest.substr(start, end - start));
    start = end + 1;
  }
  return tables;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture* fixture = new Fixture();
  const bool raw = size > 0 && (data[0] & 8) != 0;
  const auto tables = TablesOf(data, size);
  for (const auto& [index, bytes] : tables) {
    zorvel::fuzz::WriteWholeFile(fixture->dir + zorvel::kTableFileNames[index],
                                 raw ? bytes : zorvel::EncryptTable(bytes));
  }
  if (fixture->processor.Prepare(fixture->dir.c_str())) {
    for (const char* request : kRequests) {
      Require(zorvel::fuzz::IsWellFormedResponse(Answer(fixture->processor, request)),
              "a prepared processor gave a malformed answer");
    }
  }
  for (const auto& [index, bytes] : tables) {
    zorvel::fuzz::WriteWholeFile(fixture->dir + zorvel::kTableFileNames[index],
                                 fixture->sound_files[index]);
  }
  Require(fixture->processor.Prepare(fixture->dir.c_str()), "sound tables no longer prepare");
  Require(Answers(fixture->processor) == fixture->sound_answers,
          "sound tables answer differently after a faulty load");
  return 0;
}
