// The count of lines an output file holds in full when a write fails part
// way: single lines and batches of lines alike.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "response_output.h"
#include "support/scratch.h"

namespace zorvel::cli {
namespace {

// In a child limited to files of `limit` bytes, writes `lines` of ten bytes
// each (line feed included) through the output, `batch` at a time (0: one by
// one with WriteLine, each `line`), and returns how many it counts as written.
long LinesWrittenUnder(const std::string& path, long limit, int lines, int batch,
                       const char* line = "line 0000") {
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_FSIZE, &size);
    ResponseOutput output;
    if (!output.OpenFile(path)) _exit(255);
    std::string text;
    for (int i = 0; i < lines; ++i) {
      if (batch == 0) {
        output.WriteLine(line);
        continue;
      }
      text += "line 0000\n";
      if ((i + 1) % batch == 0 || i + 1 == lines) {
        output.WriteLines(text);
        text.clear();
      }
    }
    output.Commit();
    _exit(static_cast<int>(output.lines_written()));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ResponseOutput, ALineCountsAsWrittenOnlyWhenItIsWhole) {
  zorvel::testing::ScratchDir scratch;
  const std::string path = scratch.dir() + "out.jsonl";
  // 95 bytes fit: nine lines whole, the tenth cut short.
  for (int batch : {0, 1, 4, 7, 30}) {
    EXPECT_EQ(LinesWrittenUnder(path, 95, 30, batch), 9) << "batch " << batch;
    EXPECT_EQ(LinesWrittenUnder(path, 100, 30, batch), 10) << "batch " << batch;
    EXPECT_EQ(LinesWrittenUnder(path, 1000, 30, batch), 30) << "batch " << batch;
  }
  // A line given whole is one line, whatever line feeds it holds, and is
  // not counted for the part of it that was written.
  EXPECT_EQ(LinesWrittenUnder(path, 95, 30, 0, "line\n0000"), 9);
  EXPECT_EQ(LinesWrittenUnder(path, 1000, 30, 0, "line\n0000"), 30);
}

}  // namespace
}  // namespace zorvel::cli
