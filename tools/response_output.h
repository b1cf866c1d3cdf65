// Where zorvel group writes its responses: standard output, or a file that
// is written under a temporary name in its own folder and renamed into
// place only when the run completes, so a failed run leaves any earlier file
// untouched. Writes are buffered here and checked on every flush: the first
// failure is kept with the system's reason and ends the run.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel::cli {

class ResponseOutput {
 public:
  ResponseOutput() = default;
  ResponseOutput(const ResponseOutput&) = delete;
  ResponseOutput& operator=(const ResponseOutput&) = delete;
  // Removes the temporary file of a run that was not committed.
  ~ResponseOutput();

  // Writes to standard output.
  void OpenStandardOutput();
  // Creates the temporary file beside `path`. False with error() set when it
  // cannot be created.
  bool OpenFile(const std::string& path);

  // Appends one response line (`text` and a line feed). False once any
  // write has failed.
  bool WriteLine(std::string_view text);
  // Appends `text`, whole lines each ending in a line feed.
  bool WriteLines(std::string_view text);
  // Flushes and, for a file, renames the temporary file onto the path.
  // False with error() set when that fails.
  bool Commit();

  // Responses known to be written in full.
  long lines_written() const { return lines_written_; }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& name() const { return name_; }

 private:
  bool Flush();
  void Fail(const std::string& what);

  int fd_ = -1;
  std::string name_ = "standard output";
  std::string path_;       // the final path; empty for standard output
  std::string temp_path_;  // the file being written, until committed
  std::vector<char> buffer_;
  std::vector<size_t> line_ends_;  // end offset in buffer_ of each line held
  long lines_written_ = 0;
  std::string error_;
};

// Whether `output` names the same file (device and inode) as `input`; false
// when either does not exist.
bool IsSameFile(const std::string& output, const std::string& input);

}  // namespace zorvel::cli
