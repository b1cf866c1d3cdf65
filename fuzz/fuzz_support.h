// Shared helpers of the fuzz targets: table sets in scratch directories and
// the checks every response must pass. A failed check aborts, which libFuzzer
// reports as a finding with the input that caused it.
#pragma once

#include <cstdint>
#include <string>

namespace zorvel::fuzz {

// Aborts with `what` on standard error unless `condition` holds.
void Require(bool condition, const char* what);

// A fresh directory under the temporary folder, ending with '/'.
std::string MakeScratchDir();

// Packs the six plain tables of the folder `csv_dir` into `dst` (a directory
// path ending with '/'); aborts when a table cannot be read.
void PackTableSet(const std::string& csv_dir, const std::string& dst);

// Copies the six packed demo tables into `dst`.
void CopyDemoTables(const std::string& dst);

// Writes `bytes` to the file at `path`; aborts when it cannot.
void WriteWholeFile(const std::string& path, const std::string& bytes);

// True when `response` is "{}" (what a request that cannot be read gets) or
// a JSON object whose member "Success" is a boolean.
bool IsWellFormedResponse(const std::string& response);

}  // namespace zorvel::fuzz
