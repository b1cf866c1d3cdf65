#include "response_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zorvel::cli {
namespace {

constexpr size_t kFlushSize = 64 * 1024;

// The folder part of `path` with its trailing '/', or "" for the current one.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsSystemPath(const std::string& path) {
  return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
}

}  // namespace

ResponseOutput::~ResponseOutput() {
  if (fd_ > STDOUT_FILENO) ::close(fd_);
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void ResponseOutput::OpenStandardOutput() {
  fd_ = STDOUT_FILENO;
  name_ = "standard output";
}

bool ResponseOutput::OpenFile(const std::string& path) {
  path_ = path;
  name_ = path;
  // Through a link the file it points to is replaced, not the link.
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* target = ::realpath(path.c_str(), nullptr);
    if (target != nullptr) {
      path_ = target;
      std::free(target);
    }
  }
  // A device, pipe or socket, and anything under /dev or /proc (such as
  // /dev/stdout, which may stand for a file the shell holds open), is written
  // as it is: renaming onto it would replace it.
  struct stat existing {};
  const bool exists = ::stat(path_.c_str(), &existing) == 0;
  if ((exists && !S_ISREG(existing.st_mode)) || IsSystemPath(path) || IsSystemPath(path_)) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd_ < 0) Fail("cannot write " + path);
    return fd_ >= 0;
  }
  // A hidden name in the destination folder, so the rename stays on one
  // file system and never replaces the file half written.
  std::string pattern = FolderOf(path_) + "." + BaseOf(path_) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) {
    Fail("cannot create a file beside " + path);
    return false;
  }
  temp_path_ = name.data();
  // mkstemp makes the file private; give it the mode a new file would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  return true;
}

bool ResponseOutput::WriteLine(std::string_view text) {
  if (failed()) return false;
  buffer_.insert(buffer_.end(), text.begin(), text.end());
  buffer_.push_back('\n');
  line_ends_.push_back(buffer_.size());
  return buffer_.size() < kFlushSize || Flush();
}

bool ResponseOutput::WriteLines(std::string_view text) {
  if (failed()) return false;
  const size_t start = buffer_.size();
  buffer_.insert(buffer_.end(), text.begin(), text.end());
  for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
    line_ends_.push_back(start + at + 1);
  }
  return buffer_.size() < kFlushSize || Flush();
}

bool ResponseOutput::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      lines_written_ += std::upper_bound(line_ends_.begin(), line_ends_.end(), done) -
                        line_ends_.begin();
      errno = error;
      Fail("error while writing " + name_);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  lines_written_ += static_cast<long>(line_ends_.size());
  buffer_.clear();
  line_ends_.clear();
  return true;
}

bool ResponseOutput::Commit() {
  if (failed() || !Flush()) return false;
  if (temp_path_.empty()) {
    if (fd_ > STDOUT_FILENO && ::close(fd_) != 0) Fail("error while writing " + name_);
    fd_ = -1;
    return !failed();
  }
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    fd_ = -1;
    Fail("error while writing " + name_);
    return false;
  }
  fd_ = -1;
  if (::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    Fail("cannot move the responses into place as " + path_);
    return false;
  }
  temp_path_.clear();
  return true;
}

void ResponseOutput::Fail(const std::string& what) {
  if (error_.empty()) error_ = what + ": " + std::strerror(errno);
}

bool IsSameFile(const std::string& output, const std::string& input) {
  struct stat a {};
  struct stat b {};
  return ::stat(output.c_str(), &a) == 0 && ::stat(input.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace zorvel::cli
