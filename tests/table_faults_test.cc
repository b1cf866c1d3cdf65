// Faults of the table directory, one list: each fault, made in a copy of the
// demo tables, makes CS_Prepare answer false in a fresh plug-in without a
// crash and without a byte on the host's streams; a later CS_Prepare with the
// demo tables answers true and groups as a plug-in that never saw the fault.
// "zorvel tables check" and "zorvel group" on the faulty folder name the file
// at fault and why.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/processor.h"
#include "refdata/reference_data.h"
#include "refdata/table_check.h"
#include "support/fresh_plugin.h"
#include "support/scratch.h"

namespace zorvel::testing {
namespace {

// One request per mode: the first example of each.
std::vector<std::string> ExampleRequests() {
  std::vector<std::string> requests;
  for (const char* mode : {"acc", "apc", "em", "nac", "ncc", "nrd", "pcc"}) {
    const std::string text =
        ReadFile(std::string(ZORVEL_SOURCE_DIR) + "/examples/" + mode + ".jsonl");
    requests.push_back(text.substr(0, text.find('\n')));
  }
  return requests;
}

// A fault: `make` damages the copy of the demo tables in `dir` (ending with
// '/') and returns the location to prepare. `file` is the file the tools must
// name ("" when each file is named) and `reason` what they must say of it
// ("" when any fault the checker finds will do).
struct DirectoryFault {
  std::string name;
  std::string (*make)(const std::string& dir, const DirectoryFault& fault);
  std::string file;
  std::string reason;
  double cut = 0;  // for truncations: the share of the file kept
};

void Rewrite(const std::string& path, const std::string& bytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr) << path;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

std::string Truncate(const std::string& dir, const DirectoryFault& fault) {
  const std::string path = dir + fault.file;
  std::filesystem::resize_file(path, static_cast<uintmax_t>(std::filesystem::file_size(path) * fault.cut));
  return dir;
}

std::string Copy(const std::string& dir, const char* from, const std::string& to) {
  Rewrite(dir + to, ReadFile(dir + from));
  return dir;
}

// A path of 4,000 bytes below `dir`, in components of 199 bytes and a slash.
std::string LongPath(const std::string& dir) {
  std::string path = dir;
  while (path.size() + 200 <= 4000) path += std::string(199, 'd') + "/";
  return path + std::string(4000 - path.size() - 1, 'e') + "/";
}

std::vector<DirectoryFault> Faults() {
  std::vector<DirectoryFault> faults = {
      {"MissingDirectory", [](const std::string& d, const DirectoryFault&) { return d + "absent/"; },
       "", "missing"},
      {"MissingFile",
       [](const std::string& d, const DirectoryFault& f) { std::remove((d + f.file).c_str()); return d; },
       "Lists.csv.enc", "missing"},
      {"Unreadable",
       [](const std::string& d, const DirectoryFault& f) { chmod((d + f.file).c_str(), 0); return d; },
       "RuleDefs.csv.enc", "cannot be opened: Permission denied"},
      {"FolderInPlaceOfFile",
       [](const std::string& d, const DirectoryFault& f) {
         std::remove((d + f.file).c_str());
         std::filesystem::create_directory(d + f.file);
         return d;
       },
       "Code.csv.enc", "not a regular file"},
      // A pipe that no one writes to must not keep CS_Prepare waiting.
      {"PipeInPlaceOfFile",
       [](const std::string& d, const DirectoryFault& f) {
         std::remove((d + f.file).c_str());
         mkfifo((d + f.file).c_str(), 0600);
         return d;
       },
       "Lists.csv.enc", "not a regular file"},
      // The format has no length field: the file's length is its only one, and
      // it must be whole cipher blocks.
      {"LengthNotWholeBlocks",
       [](const std::string& d, const DirectoryFault& f) { Rewrite(d + f.file, ReadFile(d + f.file) + "abc"); return d; },
       "Code.csv.enc", "not a whole number of 8-byte cipher blocks"},
      {"ListsUnderTheRuleTableName",
       [](const std::string& d, const DirectoryFault& f) { return Copy(d, "Lists.csv.enc", f.file); },
       "RuleDefs.csv.enc", "stopped at line 1: a row of 3 fields where the table takes 7"},
      {"CodesUnderTheCombinationName",
       [](const std::string& d, const DirectoryFault& f) { return Copy(d, "Code.csv.enc", f.file); },
       "Combination.csv.enc", "where the table takes 3"},
      {"CombinationsUnderTheCodeName",
       [](const std::string& d, const DirectoryFault& f) { return Copy(d, "Combination.csv.enc", f.file); },
       "Code.csv.enc", "stopped at line 1: a row of 3 fields where the table takes 4"},
      {"PathOf4000Bytes", [](const std::string& d, const DirectoryFault&) { return LongPath(d); },
       "", "missing"},
      {"PathNotUtf8", [](const std::string& d, const DirectoryFault&) { return d + "\xff\xfe\xc3/"; },
       "", "missing"},
  };
  // An empty file: the trigger and combination tables lack their header line;
  // the others are then empty tables, which leave the modes without the lists
  // and rules they set themselves up with. (An empty Code.csv.enc is a sound
  // empty table: no mode needs a code text to set itself up.)
  for (const char* file : {"ValidationLists.csv.enc", "Lists.csv.enc", "RuleDefs.csv.enc",
                           "TriggerAndRulesToHrg.csv.enc", "Combination.csv.enc"}) {
    faults.push_back({std::string("Empty") + file,
                      [](const std::string& d, const DirectoryFault& f) { Rewrite(d + f.file, ""); return d; },
                      file, ""});
  }
  for (const char* file : kTableFileNames) {
    for (int tenth = 1; tenth <= 9; ++tenth) {
      faults.push_back({std::string(file) + "CutAt" + std::to_string(tenth) + "Tenths", Truncate,
                        file, "", tenth / 10.0});
    }
  }
  for (DirectoryFault& fault : faults) {
    std::string name;
    for (char c : fault.name) if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    fault.name = name;
  }
  return faults;
}

// The bytes `call` writes to the standard streams.
std::string Captured(const std::function<void()>& call) {
  std::fflush(nullptr);
  char path[] = "/tmp/zorvel_streams_XXXXXX";
  const int capture = mkstemp(path);
  const int out = dup(1), err = dup(2);
  dup2(capture, 1);
  dup2(capture, 2);
  call();
  std::fflush(nullptr);
  dup2(out, 1);
  dup2(err, 2);
  close(out);
  close(err);
  close(capture);
  const std::string text = ReadFile(path);
  std::remove(path);
  return text;
}

class TableFaultTest : public ::testing::TestWithParam<DirectoryFault> {};

TEST_P(TableFaultTest, PrepareFailsQuietlyAndTheToolsNameTheFile) {
  const DirectoryFault& fault = GetParam();
  if (fault.name == "Unreadable" && geteuid() == 0)
    GTEST_SKIP() << "running as root: file permissions do not stop reads";
  ScratchDir scratch;
  std::filesystem::copy(ZORVEL_DEMO_DIR, scratch.dir() + "tables");
  const std::string location = fault.make(scratch.dir() + "tables/", fault);

  // The answers of a plug-in that only ever saw the demo tables.
  const std::vector<std::string> requests = ExampleRequests();
  std::vector<std::string> sound_answers;
  Processor sound;
  ASSERT_TRUE(sound.Prepare(ZORVEL_DEMO_DIR));
  for (const std::string& request : requests) {
    std::vector<char> buffer(1 << 16);
    sound.Process(0, request.c_str(), buffer.data(), buffer.size());
    sound_answers.push_back(buffer.data());
  }
  RunInFreshProcess([&](const PluginExports& api) {
    bool prepared = true;
    EXPECT_EQ(Captured([&] { prepared = api.CS_Prepare(location.c_str()); }), "");
    EXPECT_FALSE(prepared);
    EXPECT_TRUE(api.CS_Prepare(ZORVEL_DEMO_DIR));
    for (size_t i = 0; i < requests.size(); ++i)
      EXPECT_EQ(api.Process(requests[i].c_str()), sound_answers[i]) << requests[i];
  });

  // What the checker finds: the file at fault and no other, unless the whole
  // location is.
  const std::string found = FormatTableCheck(CheckTables(location), /*faults_only=*/true);
  if (!fault.file.empty()) {
    EXPECT_EQ(found.rfind(fault.file + ": ", 0), 0u) << found;
  }
  EXPECT_NE(found.find(fault.reason), std::string::npos) << found;
  const CommandRun check = RunZorvel("tables check '" + location + "'");
  EXPECT_EQ(check.exit_code, 8);
  EXPECT_NE(check.out.find(found), std::string::npos) << check.out;
  const CommandRun group = RunZorvel("group --data '" + location + "'", requests[0] + "\n");
  const std::string named = fault.file.empty() ? kTableFileNames[0] : fault.file;
  EXPECT_NE(group.err.find(named), std::string::npos) << group.err;
  EXPECT_NE(group.err.find(fault.reason), std::string::npos) << group.err;
}

INSTANTIATE_TEST_SUITE_P(Faults, TableFaultTest, ::testing::ValuesIn(Faults()),
                         [](const auto& info) { return info.param.name; });

// Paths that are long or not UTF-8 are paths like any other.
TEST(TableFaultTest, LongAndNonUtf8PathsToSoundTablesPrepare) {
  ScratchDir scratch;
  for (const std::string& location : {LongPath(scratch.dir()), scratch.dir() + "\xff\xfe\xc3/"}) {
    std::filesystem::create_directories(location);
    for (const char* name : kTableFileNames)
      Rewrite(location + name, ReadFile(ZORVEL_DEMO_DIR + std::string(name)));
    Processor processor;
    EXPECT_TRUE(processor.Prepare(location.c_str())) << location.size();
  }
}

}  // namespace
}  // namespace zorvel::testing
