// Flat-file runs on several worker processes: the files do not depend on the
// number of workers, and a worker that dies has every row it held reported.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace zorvel::testing {
namespace {

const char* const kFiles[] = {"spells.csv", "episodes.csv", "errors.csv", "unbundled.csv",
                              "rejected.csv", "summary.csv", "responses.jsonl"};

// The example admitted patient care extract, its data rows repeated `copies`
// times with the spell ids made unique: 16 spells, 19 rows per copy.
std::string RepeatedExtract(int copies) {
  std::istringstream example(ReadFile(std::string(ZORVEL_SOURCE_DIR) + "/examples/csv/apc.csv"));
  std::string header, line;
  std::getline(example, header);
  std::vector<std::string> rows;
  while (std::getline(example, line)) rows.push_back(line);
  std::string text = header + "\n";
  for (int copy = 0; copy < copies; ++copy) {
    for (const std::string& row : rows) {
      const size_t comma = row.find(',');
      text += row.substr(0, comma) + "-" + std::to_string(copy) + row.substr(comma) + "\n";
    }
  }
  return text;
}

// A count from summary.csv, such as "rows read"; -1 when absent.
long SummaryCount(const std::string& summary, const std::string& what) {
  const std::string key = "Total," + what + ",";
  const size_t at = summary.find(key);
  return at == std::string::npos ? -1 : std::stol(summary.substr(at + key.size()));
}

TEST(FlatFileJobs, TwoWorkersWriteTheBytesOfOne) {
  ScratchDir scratch;
  const std::string extract = scratch.Write("extract.csv", RepeatedExtract(190));
  for (const char* jobs : {"1", "2"}) {
    const std::string out = scratch.dir() + "jobs" + jobs + "/";
    const CommandRun run = RunZorvel("group --mode APC --jobs " + std::string(jobs) + " '" +
                                     extract + "' --out-dir '" + out + "' -o '" + out +
                                     "responses.jsonl'");
    ASSERT_EQ(run.exit_code, 0) << run.err;
  }
  for (const char* name : kFiles) {
    const std::string one = ReadFile(scratch.dir() + "jobs1/" + name);
    EXPECT_EQ(one, ReadFile(scratch.dir() + "jobs2/" + name)) << name;
    EXPECT_FALSE(one.empty()) << name;
  }
  const std::string summary = ReadFile(scratch.dir() + "jobs1/summary.csv");
  EXPECT_EQ(SummaryCount(summary, "rows read"), 190 * 19);
  EXPECT_EQ(SummaryCount(summary, "spells"), 190 * 16);
}

std::vector<pid_t> Children(pid_t parent) {
  std::ifstream list("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                     "/children");
  std::vector<pid_t> children;
  pid_t child;
  while (list >> child) children.push_back(child);
  return children;
}

std::string WaitChannel(pid_t pid) {
  return ReadFile("/proc/" + std::to_string(pid) + "/wchan");
}

// Waits up to ten seconds for `done`, checking every 20 ms.
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Both workers are stopped while batches reach them, one is killed holding
// its batches, the other carries on: the killed worker's rows are rejected
// with the reason, nothing else is lost, and the run says so.
TEST(FlatFileJobs, AWorkerKilledMidRunIsReportedWithTheRowsItHeld) {
  ScratchDir scratch;
  const std::string out = scratch.dir() + "out/";
  const std::string err = scratch.dir() + "stderr";
  const std::string extract = RepeatedExtract(800);
  const size_t first_line = extract.find('\n') + 1;

  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  const pid_t zorvel = ::fork();
  ASSERT_GE(zorvel, 0);
  if (zorvel == 0) {
    ::dup2(input[0], STDIN_FILENO);
    ::close(input[0]);
    ::close(input[1]);
    const int log = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(log, STDERR_FILENO);
    ::execl(ZORVEL_CLI_PATH, "zorvel", "group", "--mode", "APC", "--input-format", "csv",
            "--jobs", "2", "--out-dir", out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(input[0]);
  // Room in the pipe for more than the four batches the stopped workers
  // may hold, with none read.
  ASSERT_GT(::fcntl(input[1], F_SETPIPE_SZ, 1 << 20), 0);
  // A failed assertion must not leave the run behind, holding the test's
  // output streams open.
  struct Reaper {
    pid_t pid;
    ~Reaper() {
      if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
      }
    }
  } reaper{zorvel};
  ASSERT_TRUE(WriteAll(input[1], extract.substr(0, first_line)));
  // The workers start once the header is read.
  std::vector<pid_t> workers;
  ASSERT_TRUE(WaitFor([&] { return (workers = Children(zorvel)).size() == 2; }))
      << ReadFile(err);
  for (pid_t worker : workers) ::kill(worker, SIGSTOP);
  // More than the four batches the stopped workers may hold, yet within
  // what the pipe takes without a reader.
  const size_t part = 600000;
  ASSERT_TRUE(WriteAll(input[1], extract.substr(first_line, part)));
  // Every worker holds all it may; the reader waits on them.
  ASSERT_TRUE(WaitFor([&] { return WaitChannel(zorvel).find("poll") != std::string::npos; }));
  ::kill(workers[0], SIGKILL);
  ::kill(workers[1], SIGCONT);
  ASSERT_TRUE(WriteAll(input[1], extract.substr(first_line + part)));
  ::close(input[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(zorvel, &status, 0), zorvel);
  reaper.pid = -1;

  const std::string messages = ReadFile(err);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 6) << messages;
  const std::string killed = "worker process " + std::to_string(workers[0]) +
                             " was killed by signal 9";
  EXPECT_NE(messages.find(killed), std::string::npos) << messages;
  const std::string summary = ReadFile(out + "summary.csv");
  const long read = SummaryCount(summary, "rows read");
  const long rejected = SummaryCount(summary, "rows rejected");
  EXPECT_EQ(read, 800 * 19);
  EXPECT_GT(rejected, 0);
  EXPECT_EQ(SummaryCount(summary, "rows grouped") + rejected, read);
  // Each rejected row names the worker; each grouped spell appears once.
  std::istringstream rejected_rows(ReadFile(out + "rejected.csv"));
  std::string line;
  long rows = -1;  // the header
  while (std::getline(rejected_rows, line)) {
    if (++rows > 0) {
      EXPECT_NE(line.find(killed), std::string::npos) << line;
    }
  }
  EXPECT_EQ(rows, rejected);
}

}  // namespace
}  // namespace zorvel::testing
