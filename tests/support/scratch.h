// Test support: scratch directories, whole files, and runs of the built
// zorvel program with its streams captured.
#pragma once

#include <string>

namespace zorvel::testing {

// The whole content of the file at `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// A fresh temporary directory, removed with everything in it on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& dir() const { return dir_; }  // ends with '/'
  // Writes `text` to the file `name` in the directory; returns its path.
  std::string Write(const std::string& name, const std::string& text) const;
  void Remove(const std::string& name) const;

 private:
  std::string dir_;
};

struct CommandRun {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `zorvel <arguments>` (arguments as a shell would split them) with
// `input` on standard input.
CommandRun RunZorvel(const std::string& arguments, const std::string& input = "");
// The same, run in the folder `dir`.
CommandRun RunZorvelIn(const std::string& dir, const std::string& arguments,
                       const std::string& input = "");

}  // namespace zorvel::testing
