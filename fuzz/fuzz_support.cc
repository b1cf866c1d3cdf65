// Helpers of the fuzz targets.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <rapidjson/document.h>

#include "refdata/reference_data.h"
#include "refdata/table_packer.h"

namespace zorvel::fuzz {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  Require(static_cast<bool>(in), "a table file of the seed sets cannot be read");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

std::string MakeScratchDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zorvel-fuzz-XXXXXX";
  Require(mkdtemp(pattern.data()) != nullptr, "no scratch directory");
  return pattern + "/";
}

void PackTableSet(const std::string& csv_dir, const std::string& dst) {
  for (const char* name : kTableFileNames) {
    WriteWholeFile(dst + name, EncryptTable(ReadWholeFile(csv_dir + "/" + PlainName(name))));
  }
}

void CopyDemoTables(const std::string& dst) {
  for (const char* name : kTableFileNames) {
    WriteWholeFile(dst + name, ReadWholeFile(std::string(ZORVEL_DEMO_DIR) + name));
  }
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  Require(static_cast<bool>(out), "a scratch file cannot be written");
}

bool IsWellFormedResponse(const std::string& response) {
  if (response == "{}") return true;
  rapidjson::Document document;
  document.Parse(response.c_str());
  if (document.HasParseError() || !document.IsObject()) return false;
  auto success = document.FindMember("Success");
  return success != document.MemberEnd() && success->value.IsBool();
}

}  // namespace zorvel::fuzz
