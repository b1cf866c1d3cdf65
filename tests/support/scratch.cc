// Scratch directories and runs of the zorvel program.
#include "support/scratch.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zorvel::testing {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zorvel_XXXXXX").string();
  dir_ = (mkdtemp(pattern.data()) != nullptr ? pattern : std::string("/tmp")) + "/";
}

ScratchDir::~ScratchDir() {
  std::error_code error;
  std::filesystem::remove_all(dir_, error);
}

std::string ScratchDir::Write(const std::string& name, const std::string& text) const {
  std::ofstream(dir_ + name, std::ios::binary | std::ios::trunc) << text;
  return dir_ + name;
}

void ScratchDir::Remove(const std::string& name) const { std::remove((dir_ + name).c_str()); }

CommandRun RunZorvel(const std::string& arguments, const std::string& input) {
  return RunZorvelIn(".", arguments, input);
}

CommandRun RunZorvelIn(const std::string& dir, const std::string& arguments,
                       const std::string& input) {
  const ScratchDir streams;
  const std::string command = "cd '" + dir + "' && '" + ZORVEL_CLI_PATH + "' " + arguments + " <'" +
                              streams.Write("in", input) + "' >'" + streams.dir() + "out' 2>'" +
                              streams.dir() + "err'";
  const int status = std::system(command.c_str());
  CommandRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(streams.dir() + "out");
  run.err = ReadFile(streams.dir() + "err");
  return run;
}

}  // namespace zorvel::testing
