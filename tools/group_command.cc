// zorvel group: reads JSON Lines requests (or bare spells with --mode), has
// the plug-in group each one and writes one response line per input line.
// CSV extracts are handed to the flat-file run (flat_file_run.cc).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>


#include "commands.h"
#include "group_options.h"
#include "mode_codes.h"
#include "plugin_loader.h"
#include "request_lines.h"
#include "response_output.h"

namespace zorvel::cli {
namespace {

struct Tally {
  long records = 0;
  long grouped = 0;
  long failed = 0;
  long bad_lines = 0;
};

// Progress on standard error, at most every half second, only when standard
// error is a terminal and the responses do not go to a terminal themselves
// (they would be printed into the progress line).
class Progress {
  using Clock = std::chrono::steady_clock;

 public:
  explicit Progress(bool responses_to_stdout)
      : enabled_(isatty(STDERR_FILENO) == 1 &&
                 !(responses_to_stdout && isatty(STDOUT_FILENO) == 1)),
        start_(Clock::now()) {}

  void Update(long records) {
    if (!enabled_ || (records & 63) != 0) return;
    Clock::time_point now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(500)) return;
    last_ = now;
    double elapsed = Seconds(now);
    std::fprintf(stderr, "\r%ld records, %.0f records/s, %.1f s elapsed ",
                 records, elapsed > 0 ? records / elapsed : 0.0, elapsed);
    shown_ = true;
  }
  void Clear() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
  }
  double Seconds(Clock::time_point now = Clock::now()) const {
    return std::chrono::duration<double>(now - start_).count();
  }

 private:
  bool enabled_;
  bool shown_ = false;
  Clock::time_point start_;
  Clock::time_point last_;
};

class Grouper {
 public:
  Grouper(const PluginApi& api, const GroupOptions& options, ResponseOutput& out)
      : api_(api), options_(options), out_(out), progress_(options.output_path.empty()) {}

  // Groups every line of `in`; `name` labels its lines in messages. Stops
  // at the first response that cannot be written.
  void Run(std::istream& in, const std::string& name) {
    std::string line;
    long line_number = 0;
    while (!out_.failed() && std::getline(in, line)) {
      ++line_number;
      // A blank line is no request; an empty answer line keeps the output
      // aligned with the input.
      if (IsBlank(line)) {
        out_.WriteLine("");
        continue;
      }
      GroupLine(line, name, line_number);
      progress_.Update(tally_.records);
    }
  }

  void PrintSummary() {
    progress_.Clear();
    std::fprintf(stderr,
                 "zorvel group: %ld records, %ld grouped successfully, %ld "
                 "failed, %ld lines written (%.1f s)\n",
                 tally_.records, tally_.grouped, tally_.failed, out_.lines_written(),
                 progress_.Seconds());
  }

  const Tally& tally() const { return tally_; }

 private:
  void GroupLine(const std::string& line, const std::string& name,
                 long line_number) {
    if (!options_.mode.empty() && IsWholeRequest(line)) {
      // Wrapped again it would group an empty spell and look successful.
      ++tally_.records;
      ++tally_.failed;
      ++tally_.bad_lines;
      progress_.Clear();
      std::cerr << name << ":" << line_number
                << ": a whole request (it has \"Group\" and \"Spell\"), but --mode "
                << options_.mode << " expects bare spells\n";
      out_.WriteLine("{}");
      return;
    }
    std::string request =
        options_.mode.empty() ? line : WrapSpell(options_.mode, line);
    if (options_.trace) request = WithTrace(request);
    std::string_view response =
        buffer_.Fetch([&](char* buffer, uint32_t size) {
          return api_.CS_Process(0, request.c_str(), buffer, size);
        });
    ++tally_.records;
    if (response.rfind("{\"Success\":true", 0) == 0) {
      ++tally_.grouped;
    } else {
      ++tally_.failed;
    }
    if (response == "{}") ReportRejectedLine(line, name, line_number);
    out_.WriteLine(response);
  }

  void ReportRejectedLine(const std::string& line, const std::string& name,
                          long line_number) {
    ++tally_.bad_lines;
    progress_.Clear();
    if (!IsJson(line)) {
      std::cerr << name << ":" << line_number << ": not valid JSON\n";
    } else {
      std::cerr << name << ":" << line_number
                << ": not a grouping request (needs an object with \"Group\" "
                   "and \"Spell\")\n";
    }
  }

  const PluginApi& api_;
  const GroupOptions& options_;
  ResponseOutput& out_;
  DocumentBuffer buffer_;
  Progress progress_;
  Tally tally_;
};

// Groups every input; returns the exit code.
int RunInputs(Grouper& grouper, const GroupOptions& options) {
  if (options.inputs.empty()) {
    grouper.Run(std::cin, "<stdin>");
    return kExitOk;
  }
  for (const std::string& path : options.inputs) {
    if (path == "-") {
      grouper.Run(std::cin, "<stdin>");
      continue;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::cerr << "zorvel: cannot read " << path << "\n";
      return kExitInputUnreadable;
    }
    grouper.Run(in, path);
    if (in.bad()) {
      std::cerr << "zorvel: error while reading " << path << "\n";
      return kExitInputUnreadable;
    }
  }
  return kExitOk;
}

// Refuses an output path that is one of the inputs: it would be emptied
// before it is read.
bool OutputIsAnInput(const GroupOptions& options) {
  for (const std::string& input : options.inputs) {
    if (input != "-" && IsSameFile(options.output_path, input)) {
      std::cerr << "zorvel: the output " << options.output_path
                << " is the input " << input
                << "; write the responses to another file\n";
      return true;
    }
  }
  return false;
}

int RunGroup(const GroupOptions& options) {
  if (!options.output_path.empty() && OutputIsAnInput(options)) return kExitUsage;
  PluginLoader loader;
  int code = OpenPlugin(options.plugin_path, loader);
  if (code != kExitOk) return code;
  code = PrepareTables(loader.api(), options.data_dir, options.strict);
  if (code != kExitOk) return code;
  if (!options.mode.empty()) {
    code = CheckModeCode(loader.api(), options.mode);
    if (code != kExitOk) return code;
  }
  if (IsCsvInput(options)) return RunFlatFile(loader.api(), options);

  ResponseOutput out;
  if (options.output_path.empty()) {
    out.OpenStandardOutput();
  } else if (!out.OpenFile(options.output_path)) {
    std::cerr << "zorvel: " << out.error() << "\n";
    return kExitIoError;
  }
  Grouper grouper(loader.api(), options, out);
  code = RunInputs(grouper, options);
  // A run that could not read all its input keeps any earlier output file.
  if (code == kExitOk) out.Commit();
  grouper.PrintSummary();
  if (out.failed()) {
    std::cerr << "zorvel: " << out.error() << "; the run stopped\n";
    return kExitIoError;
  }
  if (code != kExitOk) return code;
  return grouper.tally().bad_lines > 0 ? kExitBadRecords : kExitOk;
}

}  // namespace

void AddPluginOptions(CLI::App* command, std::string* data_dir, std::string* plugin_path) {
  command->add_option("--data", *data_dir,
                      "Directory of the six table files (default: the demo tables)");
  command->add_option("--plugin", *plugin_path,
                      "Path of libzorvel.so (default: next to the program)");
}

void AddGroupCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<GroupOptions>();
  CLI::App* group = app.add_subcommand(
      "group",
      "Group JSON Lines requests (one request per line, one response per "
      "line in input order; blank lines are skipped) or, with --mode, a CSV "
      "extract of one row per episode into flat files");
  AddPluginOptions(group, &options->data_dir, &options->plugin_path);
  group->add_option("--mode", options->mode,
                    "Mode code; each line is then a bare spell object");
  group->add_flag("--strict", options->strict,
                  "Stop when the plug-in cannot prepare every mode");
  group->add_option("-o,--output", options->output_path,
                    "Write the responses to this file (default: standard "
                    "output)");
  group->add_option("--input-format", options->input_format,
                    "jsonl or csv (default: csv for names ending in .csv or .csv.gz)")
      ->check(CLI::IsMember({"jsonl", "csv"}));
  group->add_option("--out-dir", options->out_dir,
                    "CSV extracts: write spells.csv, episodes.csv, errors.csv, "
                    "unbundled.csv, rejected.csv and summary.csv here");
  group->add_option("--columns", options->columns_path,
                    "CSV extracts: a column map (column,field,position) naming the "
                    "field each of your columns fills");
  group->add_option("--spell-column", options->spell_column,
                    "CSV extracts: the column of spell ids; consecutive rows with "
                    "one id are one spell (default: SpellId)");
  group->add_option("--jobs", options->jobs,
                    "CSV extracts: worker processes (default: one per core); the "
                    "output is the same for any number")
      ->check(CLI::Range(1, 256));
  group->add_flag("--show-requests", options->show_requests,
                  "CSV extracts: write the JSON request each spell becomes (JSON "
                  "Lines, to -o or standard output) instead of grouping");
  group->add_flag("--trace", options->trace,
                  "Ask the plug-in for the steps that chose each HRG: every "
                  "request gets \"Trace\": true (with --out-dir, the steps go to "
                  "trace.csv)");
  group->add_option("FILE", options->inputs,
                    "Input files (default: standard input; - is standard "
                    "input)");
  group->callback([options, exit_code] { *exit_code = RunGroup(*options); });
}

}  // namespace zorvel::cli
