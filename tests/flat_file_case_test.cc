// Flat-file runs of the real zorvel program, as data. Each folder of
// tests/flat_files holds a case.json ("shows", "args", and optionally
// "exit", "stderr", "stdout", "stdout_file", a file of the exact standard
// output, and "stdin", a file fed to standard input), the
// files its arguments name, and
// expected/: the exact files the run must leave in its output folder, and
// no others. The arguments run in the case's folder, with {out} standing
// for a fresh output folder. Each extract examples/csv/MODE.csv is a case
// too: grouped with --mode MODE, it must give the files of examples/csv/MODE/.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "support/scratch.h"

namespace zorvel::testing {
namespace {

namespace fs = std::filesystem;

struct FlatFileCase {
  std::string name;
  fs::path dir;          // where the arguments run
  fs::path expected;     // the expected output files
  std::string shows;
  std::string args;
  int exit_code = 0;
  std::vector<std::string> stderr_parts;
  bool check_stdout = false;
  std::string stdout_text;
  std::string stdin_file;  // fed to standard input, when named
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string TestName(std::string name) {
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

FlatFileCase FromFolder(const fs::path& dir) {
  FlatFileCase c;
  c.name = TestName(dir.filename().string());
  c.dir = dir;
  c.expected = dir / "expected";
  rapidjson::Document doc;
  const std::string text = ReadFile((dir / "case.json").string());
  doc.Parse(text.c_str());
  if (doc.HasParseError() || !doc.IsObject()) {
    c.shows = "case.json is not a JSON object";
    return c;
  }
  auto text_of = [&](const char* member) {
    return doc.HasMember(member) && doc[member].IsString() ? doc[member].GetString() : "";
  };
  c.shows = text_of("shows");
  c.args = text_of("args");
  if (doc.HasMember("exit") && doc["exit"].IsInt()) c.exit_code = doc["exit"].GetInt();
  if (doc.HasMember("stderr") && doc["stderr"].IsArray()) {
    for (const auto& part : doc["stderr"].GetArray()) {
      if (part.IsString()) c.stderr_parts.push_back(part.GetString());
    }
  }
  c.stdin_file = text_of("stdin");
  if (doc.HasMember("stdout") && doc["stdout"].IsString()) {
    c.check_stdout = true;
    c.stdout_text = doc["stdout"].GetString();
  }
  if (const std::string file = text_of("stdout_file"); !file.empty()) {
    c.check_stdout = true;
    c.stdout_text = ReadFile((c.dir / file).string());
  }
  return c;
}

std::vector<FlatFileCase> AllCases() {
  std::vector<FlatFileCase> cases;
  const fs::path root(ZORVEL_SOURCE_DIR);
  std::vector<fs::path> folders;
  for (const auto& entry : fs::directory_iterator(root / "tests" / "flat_files")) {
    if (entry.is_directory()) folders.push_back(entry.path());
  }
  std::sort(folders.begin(), folders.end());
  for (const fs::path& folder : folders) cases.push_back(FromFolder(folder));
  std::vector<fs::path> extracts;
  for (const auto& entry : fs::directory_iterator(root / "examples" / "csv")) {
    if (entry.path().extension() == ".csv") extracts.push_back(entry.path());
  }
  std::sort(extracts.begin(), extracts.end());
  for (const fs::path& extract : extracts) {
    FlatFileCase c;
    const std::string mode = extract.stem().string();
    c.name = "example_" + TestName(mode);
    c.dir = extract.parent_path();
    c.expected = extract.parent_path() / mode;
    std::string code = mode;
    std::transform(code.begin(), code.end(), code.begin(), ::toupper);
    c.shows = "the bundled example extract for " + code;
    c.args = "group --mode " + code + " " + mode + ".csv --out-dir {out}";
    cases.push_back(c);
  }
  return cases;
}

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  if (!fs::is_directory(dir)) return names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

class FlatFileCaseTest : public ::testing::TestWithParam<FlatFileCase> {};

TEST_P(FlatFileCaseTest, WritesTheExpectedFiles) {
  const FlatFileCase& c = GetParam();
  SCOPED_TRACE(c.shows);
  ScratchDir scratch;
  const std::string out = scratch.dir() + "out/";
  const std::string input = c.stdin_file.empty() ? "" : ReadFile((c.dir / c.stdin_file).string());
  const CommandRun run = RunZorvelIn(c.dir.string(), Replace(c.args, "{out}", out), input);
  EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
  for (const std::string& part : c.stderr_parts) {
    EXPECT_NE(run.err.find(part), std::string::npos) << "standard error lacks: " << part
                                                     << "\nit was:\n" << run.err;
  }
  if (c.check_stdout) {
    EXPECT_EQ(run.out, c.stdout_text);
  }
  const std::set<std::string> expected = FilesIn(c.expected);
  EXPECT_EQ(FilesIn(out), expected) << "the output folder holds other files";
  for (const std::string& name : expected) {
    EXPECT_EQ(ReadFile(out + name), ReadFile((c.expected / name).string())) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(FlatFiles, FlatFileCaseTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zorvel::testing
