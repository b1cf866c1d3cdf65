// Writes a set of table files into a folder in one step, for the table tools:
// either every file is in place or the folder is exactly as it was.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zorvel {

// A file to write: its name within the folder and its bytes.
using FolderFile = std::pair<std::string, std::string>;

// Writes `files` into the folder `dst` (created, with its parents, when
// absent). The files are written into a fresh folder made beside `dst`
// ("<dst>.tmp-XXXXXX"), which then takes the place of `dst`: renamed to it
// when `dst` is absent, swapped with it in one atomic exchange when it exists
// (or, where the file system cannot exchange, `dst` renamed aside, the new
// folder renamed in and the old one renamed back should that fail). Other
// files and links already in `dst` are carried over as hard links; a `dst`
// that holds a folder, or that is not a folder, is refused. Returns "" on
// success, otherwise the reason, with `dst` untouched.
std::string WriteFolder(const std::string& dst, const std::vector<FolderFile>& files);

}  // namespace zorvel
