// The one-step folder writer of the table tools.
#include "refdata/table_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zorvel {
namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!out.is_open()) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

// A fresh empty folder "<target>.<tag>-XXXXXX" beside `target`; empty on
// failure.
fs::path MakeFolderBeside(const fs::path& target, const char* tag) {
  std::string pattern = target.string() + "." + tag + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

// The permissions a folder made now would get: the umask applied to 0777.
fs::perms DefaultFolderPerms() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<fs::perms>(0777 & ~mask);
}

bool IsOneOf(const std::string& name, const std::vector<FolderFile>& files) {
  for (const FolderFile& file : files)
    if (file.first == name) return true;
  return false;
}

// Fills the fresh folder `stage`: the new files, then hard links to the other
// entries of the existing folder `old` (when `old` is not empty), then the
// permissions of `old` or the default ones. Returns "" or the reason.
std::string Stage(const fs::path& stage, const std::vector<FolderFile>& files,
                  const fs::path& old) {
  for (const FolderFile& file : files)
    if (!WriteFile(stage / file.first, file.second))
      return "cannot write " + (stage / file.first).string();
  std::error_code error;
  fs::perms perms = DefaultFolderPerms();
  if (!old.empty()) {
    for (const fs::directory_entry& entry : fs::directory_iterator(old, error)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_directory(error) && !entry.is_symlink(error))
        return "cannot replace " + old.string() + ": it holds the folder " + name;
      if (IsOneOf(name, files)) continue;
      if (link(entry.path().c_str(), (stage / name).c_str()) != 0)
        return "cannot carry " + entry.path().string() + " over: " + std::strerror(errno);
    }
    if (error) return "cannot read " + old.string() + ": " + error.message();
    perms = fs::status(old, error).permissions();
  }
  fs::permissions(stage, perms, error);
  return "";
}

// Puts the staged folder in the place of the existing folder `dst`. On
// failure `dst` is as it was and `stage` still holds the new files.
bool SwapIn(const fs::path& stage, const fs::path& dst) {
  if (renameat2(AT_FDCWD, stage.c_str(), AT_FDCWD, dst.c_str(), RENAME_EXCHANGE) == 0)
    return true;  // `stage` now holds the old folder
  if (errno != EINVAL && errno != ENOSYS) return false;
  const fs::path aside = MakeFolderBeside(dst, "old");
  if (aside.empty()) return false;
  // Renaming a folder onto an empty folder replaces it.
  if (rename(dst.c_str(), aside.c_str()) != 0) {
    const int cause = errno;
    rmdir(aside.c_str());
    errno = cause;
    return false;
  }
  if (rename(stage.c_str(), dst.c_str()) != 0) {
    const int cause = errno;
    rename(aside.c_str(), dst.c_str());
    errno = cause;
    return false;
  }
  rename(aside.c_str(), stage.c_str());  // `stage` now holds the old folder
  return true;
}

}  // namespace

std::string WriteFolder(const std::string& dst_text, const std::vector<FolderFile>& files) {
  std::error_code error;
  fs::path dst = fs::absolute(dst_text, error).lexically_normal();
  if (dst.filename().empty()) dst = dst.parent_path();  // "dir/" names "dir"
  if (fs::is_symlink(dst, error)) {
    // The folder the link leads to is replaced, not the link.
    dst = fs::canonical(dst, error);
    if (error) return "cannot follow the link " + dst_text + ": " + error.message();
  }
  const bool exists = fs::exists(dst, error);
  if (exists && !fs::is_directory(dst, error))
    return "cannot write into " + dst.string() + ": not a folder";
  const fs::path parent = dst.has_parent_path() ? dst.parent_path() : fs::path(".");
  fs::create_directories(parent, error);
  const fs::path stage = MakeFolderBeside(dst, "tmp");
  if (stage.empty())
    return "cannot make a folder beside " + dst.string() + ": " + std::strerror(errno);
  std::string failure = Stage(stage, files, exists ? dst : fs::path());
  if (failure.empty()) {
    const bool placed = exists ? SwapIn(stage, dst) : rename(stage.c_str(), dst.c_str()) == 0;
    if (!placed)
      failure = "cannot put " + stage.string() + " in the place of " + dst.string() + ": " +
                std::strerror(errno);
  }
  fs::remove_all(stage, error);
  return failure;
}

}  // namespace zorvel
