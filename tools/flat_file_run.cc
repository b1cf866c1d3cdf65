// zorvel group on a CSV extract: reads the rows, joins them into spells,
// groups them in batches (in worker processes with --jobs) and writes the
// flat output files and the JSON Lines responses in input order.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "column_mapping.h"
#include "commands.h"
#include "csv_cells.h"
#include "csv_row_reader.h"
#include "flat_file_grouper.h"
#include "group_options.h"
#include "mode_schema.h"
#include "response_output.h"
#include "spell_assembler.h"
#include "worker_pool.h"

namespace zorvel::cli {
namespace {

// A batch closes at this many spells or rows, whichever comes first.
constexpr size_t kBatchSpells = 128;
constexpr size_t kBatchRows = 1024;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What a batch held, kept until its result arrives: enough to reject its
// rows when its worker dies.
struct BatchRecord {
  std::vector<std::pair<std::string, std::vector<long>>> spells;
  size_t rows = 0;
};

// The files of --out-dir and the JSON Lines responses, each written under a
// temporary name and moved into place when the run completes.
class RunOutputs {
 public:
  bool Open(const GroupOptions& options, bool with_unbundled) {
    const bool with_trace = options.trace;
    if (!options.out_dir.empty()) {
      std::error_code failed;
      std::filesystem::create_directories(options.out_dir, failed);
      if (failed) {
        error_ = "cannot create " + options.out_dir + ": " + failed.message();
        return false;
      }
      const std::string dir = WithTrailingSeparator(options.out_dir);
      for (const char* name : {"spells", "episodes", "errors", "rejected", "summary"}) {
        if (!OpenFile(name, dir + name + ".csv")) return false;
      }
      if (with_unbundled && !OpenFile("unbundled", dir + "unbundled.csv")) return false;
      if (with_trace && !OpenFile("trace", dir + "trace.csv")) return false;
      rejected_path_ = dir + "rejected.csv";
    }
    if (!options.output_path.empty()) return OpenFile("responses", options.output_path);
    if (options.out_dir.empty()) {
      files_["responses"] = std::make_unique<ResponseOutput>();
      files_["responses"]->OpenStandardOutput();
    }
    return true;
  }

  // Writes `text` (whole lines) to the file `name`, when it is written.
  void Write(const std::string& name, const std::string& text) {
    const auto file = files_.find(name);
    if (file != files_.end() && !text.empty()) file->second->WriteLines(text);
  }
  bool Has(const std::string& name) const { return files_.count(name) != 0; }

  // The first write failure; empty when none.
  std::string Failure() const {
    for (const auto& [name, file] : files_) {
      if (file->failed()) return file->error();
    }
    return "";
  }
  bool Commit() {
    for (auto& [name, file] : files_) {
      if (!file->Commit()) return false;
    }
    return true;
  }
  const std::string& error() const { return error_; }
  const std::string& rejected_path() const { return rejected_path_; }

 private:
  bool OpenFile(const std::string& name, const std::string& path) {
    auto file = std::make_unique<ResponseOutput>();
    if (!file->OpenFile(path)) {
      error_ = file->error();
      return false;
    }
    files_[name] = std::move(file);
    return true;
  }

  std::map<std::string, std::unique_ptr<ResponseOutput>> files_;
  std::string rejected_path_;
  std::string error_;
};

// Counts in descending order, ties by key.
std::vector<std::pair<std::string, long>> ByCount(const Counts& counts) {
  std::vector<std::pair<std::string, long>> sorted;
  sorted.reserve(counts.size());
  for (size_t i = 0; i < counts.size(); ++i) {
    sorted.emplace_back(std::string(counts.Text(i)), counts.Count(i));
  }
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  return sorted;
}

class FlatFileRun {
 public:
  FlatFileRun(const PluginApi& api, const GroupOptions& options, const ModeSchema& mode)
      : api_(api), options_(options), mode_(mode) {}

  int Run() {
    const std::string input = options_.inputs.empty() ? "-" : options_.inputs.front();
    name_ = input == "-" ? "<stdin>" : input;
    std::vector<ColumnMapEntry> map;
    std::string error;
    if (!options_.columns_path.empty() && !ReadColumnMap(options_.columns_path, &map, &error)) {
      std::cerr << "zorvel: " << error << "\n";
      return kExitUsage;
    }
    CsvRowReader reader;
    if (!reader.Open(input)) {
      std::cerr << "zorvel: " << reader.error() << "\n";
      return kExitInputUnreadable;
    }
    CsvRow header;
    if (!reader.Next(&header) || !header.fault.empty()) {
      std::cerr << "zorvel: " << name_ << ": "
                << (!reader.error().empty() ? reader.error()
                    : header.fault.empty()  ? "no header row"
                                            : "the header row cannot be read: " + header.fault)
                << "\n";
      return kExitInputUnreadable;
    }
    header_size_ = header.cells.size();
    reader.set_width(header_size_);
    mapping_.set_trace(options_.trace);
    if (!mapping_.Build(mode_, header.cells.ToStrings(), options_.spell_column, map)) {
      std::cerr << "zorvel: " << name_ << ": " << mapping_.error() << "\n";
      return kExitUsage;
    }
    ReportColumns();

    grouper_ = std::make_unique<FlatFileGrouper>(
        api_, mode_, mapping_, !options_.output_path.empty() || options_.out_dir.empty(),
        options_.show_requests);
    if (!outputs_.Open(options_, grouper_->HasUnbundled())) {
      std::cerr << "zorvel: " << outputs_.error() << "\n";
      return kExitIoError;
    }
    outputs_.Write("spells", grouper_->SpellsHeader());
    outputs_.Write("episodes", grouper_->EpisodesHeader());
    outputs_.Write("errors", FlatFileGrouper::ErrorsHeader());
    outputs_.Write("unbundled", FlatFileGrouper::UnbundledHeader());
    outputs_.Write("trace", FlatFileGrouper::TraceHeader());
    outputs_.Write("rejected", "Line,SpellId,Reason\n");

    const int jobs = options_.jobs > 0 ? options_.jobs : AvailableCores();
    if (jobs > 1) {
      pool_ = std::make_unique<WorkerPool>(
          jobs,
          [this](std::string_view bytes, std::string* result) {
            // A worker's batch and result are filled afresh for every batch.
            if (!DecodeBatch(bytes, &work_batch_)) return;
            work_result_.Reset();
            grouper_->GroupInto(work_batch_, &work_result_);
            EncodeResult(work_result_, result);
          },
          [this](uint64_t index, bool ok, std::string&& bytes) { Deliver(index, ok, bytes); });
      if (!pool_->Start(&error)) {
        std::cerr << "zorvel: " << error << "\n";
        return kExitIoError;
      }
    }

    const int code = ReadRows(reader);
    if (pool_ != nullptr) pool_->Finish();
    if (code == kExitOk) {
      WriteSummary();
      if (outputs_.Failure().empty()) outputs_.Commit();
    }
    PrintSummary();
    if (!outputs_.Failure().empty()) {
      std::cerr << "zorvel: " << outputs_.Failure() << "; the run stopped\n";
      return kExitIoError;
    }
    if (code != kExitOk) return code;
    if (rejected_ > 0) {
      std::cerr << "zorvel: " << rejected_ << (rejected_ == 1 ? " row" : " rows")
                << " rejected"
                << (outputs_.rejected_path().empty()
                        ? ""
                        : "; their lines and reasons are in " + outputs_.rejected_path())
                << "\n";
      return kExitBadRecords;
    }
    return kExitOk;
  }

 private:
  void ReportColumns() {
    auto joined = [](const std::vector<std::string>& names) {
      std::string text;
      for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
      return text;
    };
    if (!mapping_.unused().empty()) {
      std::cerr << "zorvel: " << name_ << ": columns not read (no input field of " << mode_.code
                << " has their names): " << joined(mapping_.unused()) << "\n";
    }
    if (!mapping_.missing().empty()) {
      std::cerr << "zorvel: " << name_ << ": the column map names columns the extract lacks: "
                << joined(mapping_.missing()) << "\n";
    }
    if (mapping_.spell_column() < 0) {
      std::cerr << "zorvel: " << name_ << ": no column " << options_.spell_column
                << ", so each row is a spell of its own\n";
    }
  }

  int ReadRows(CsvRowReader& reader) {
    SpellAssembler assembler([this](SpellRows&& spell) { AddSpell(std::move(spell)); },
                             [this](RejectedRow&& row) { Reject(row); });
    // Spells and rows done with go back to be filled again.
    reader_ = &reader;
    assembler_ = &assembler;
    struct Forget {
      FlatFileRun* run;
      ~Forget() {
        run->reader_ = nullptr;
        run->assembler_ = nullptr;
      }
    } forget{this};
    const int spell_column = mapping_.spell_column();
    CsvRow row;
    while (reader.Next(&row) && outputs_.Failure().empty()) {
      ++rows_read_;
      assembler.AddRow(std::move(row), header_size_, spell_column, rows_read_);
    }
    if (!reader.error().empty()) {
      // What was read is still accounted for, though the files are not
      // written: the spell that broke off may lack rows.
      std::cerr << "zorvel: " << name_ << ": " << reader.error() << "\n";
      assembler.Abandon("the input could not be read past this spell");
      Dispatch();
      return kExitInputUnreadable;
    }
    assembler.Finish();
    Dispatch();
    return kExitOk;
  }

  void AddSpell(SpellRows&& spell) {
    batch_.row_count += spell.rows.size();
    batch_.spells.push_back(std::move(spell));
    if (batch_.spells.size() >= kBatchSpells || batch_.row_count >= kBatchRows) Dispatch();
  }

  void Dispatch() {
    if (batch_.spells.empty()) return;
    if (pool_ == nullptr) {
      // The totals take the batch's counts straight away: a table of counts
      // for each batch would be filled with the same texts every time.
      rows_grouped_ += static_cast<long>(batch_.row_count);
      grouper_->GroupInto(batch_, &totals_);
      WriteLines(totals_);
      totals_.ClearLines();
    } else {
      // What a worker holds is kept until its result comes, so that the
      // spells of a worker that dies can be named.
      BatchRecord record;
      for (const SpellRows& spell : batch_.spells) record.spells.emplace_back(spell.id, spell.lines);
      record.rows = batch_.row_count;
      held_[next_batch_++] = std::move(record);
      pool_->Submit(EncodeBatch(batch_));
    }
    for (SpellRows& spell : batch_.spells) {
      if (reader_ != nullptr) {
        for (RowCells& row : spell.rows) reader_->Recycle(std::move(row));
      }
      if (assembler_ != nullptr) assembler_->Recycle(std::move(spell));
    }
    batch_.spells.clear();
    batch_.row_count = 0;
  }

  void Deliver(uint64_t index, bool ok, const std::string& bytes) {
    BatchResult& result = received_;
    if (ok && DecodeResult(bytes, &result)) {
      rows_grouped_ += static_cast<long>(held_[index].rows);
      held_.erase(index);
      WriteLines(result);
      totals_.AddCounts(result);
      return;
    }
    Lose(index, ok ? "its worker answered with something that is not a result" : bytes);
  }

  void WriteLines(const BatchResult& result) {
    outputs_.Write("spells", result.spells);
    outputs_.Write("episodes", result.episodes);
    outputs_.Write("errors", result.errors);
    outputs_.Write("unbundled", result.unbundled);
    outputs_.Write("trace", result.trace);
    outputs_.Write("responses", result.responses);
  }

  // The rows of a batch whose worker died are rejected, and said so.
  void Lose(uint64_t index, const std::string& reason) {
    const BatchRecord record = std::move(held_[index]);
    held_.erase(index);
    long first = 0, last = 0;
    for (const auto& [id, lines] : record.spells) {
      for (long line : lines) {
        if (first == 0) first = line;
        last = line;
        Reject({line, id, "spell rejected: the " + reason + " while grouping it"});
      }
    }
    std::cerr << "zorvel: the " << reason << " while it held " << record.spells.size()
              << " spells (lines " << first << " to " << last << "); their rows are rejected\n";
  }

  void Reject(const RejectedRow& row) {
    ++rejected_;
    if (outputs_.Has("rejected")) {
      std::string line;
      AppendCsvLine(&line, {std::to_string(row.line), row.spell_id, row.reason});
      outputs_.Write("rejected", line);
    } else {
      std::cerr << name_ << ":" << row.line << ": " << row.reason << "\n";
    }
  }

  void WriteSummary() {
    std::string text = "Kind,Value,Count\n";
    auto add = [&text](const char* kind, const std::string& value, long count) {
      AppendCsvLine(&text, {kind, value, std::to_string(count)});
    };
    add("Total", "rows read", rows_read_);
    add("Total", "rows grouped", rows_grouped_);
    add("Total", "rows rejected", rejected_);
    add("Total", "spells", totals_.spell_count);
    add("Total", "spells grouped successfully", totals_.succeeded);
    add("Total", "spells failed", totals_.failed);
    add("Total", "episodes", totals_.episode_count);
    for (const auto& [hrg, count] : ByCount(totals_.hrgs)) add("HRG", hrg, count);
    for (const auto& [message, count] : ByCount(totals_.messages)) add("Error", message, count);
    outputs_.Write("summary", text);
  }

  void PrintSummary() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr,
                 "zorvel group: %ld rows read = %ld grouped + %ld rejected; %ld spells (%ld "
                 "grouped successfully, %ld failed), %ld episodes (%.2f s)\n",
                 rows_read_, rows_grouped_, rejected_, totals_.spell_count, totals_.succeeded,
                 totals_.failed, totals_.episode_count, seconds);
  }

  const PluginApi& api_;
  const GroupOptions& options_;
  const ModeSchema& mode_;
  std::string name_;
  size_t header_size_ = 0;
  ColumnMapping mapping_;
  std::unique_ptr<FlatFileGrouper> grouper_;
  std::unique_ptr<WorkerPool> pool_;
  RunOutputs outputs_;
  SpellBatch batch_;
  CsvRowReader* reader_ = nullptr;       // while rows are read
  SpellAssembler* assembler_ = nullptr;  // while rows are read
  uint64_t next_batch_ = 0;
  std::map<uint64_t, BatchRecord> held_;
  BatchResult totals_;
  BatchResult received_;    // the last result a worker sent
  SpellBatch work_batch_;   // in a worker: the batch being grouped
  BatchResult work_result_;  // in a worker: what it gave
  long rows_read_ = 0;
  long rows_grouped_ = 0;
  long rejected_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

bool IsCsvInput(const GroupOptions& options) {
  if (!options.input_format.empty()) return options.input_format == "csv";
  for (const std::string& input : options.inputs) {
    if (EndsWith(input, ".csv") || EndsWith(input, ".csv.gz")) return true;
  }
  return false;
}

int RunFlatFile(const PluginApi& api, const GroupOptions& options) {
  if (options.mode.empty()) {
    std::cerr << "zorvel: a CSV extract needs --mode CODE (zorvel columns --mode CODE prints "
                 "the header it reads)\n";
    return kExitUsage;
  }
  if (options.show_requests && !options.out_dir.empty()) {
    std::cerr << "zorvel: --show-requests writes requests, not the files of --out-dir\n";
    return kExitUsage;
  }
  if (options.inputs.size() > 1) {
    std::cerr << "zorvel: group one CSV extract at a time\n";
    return kExitUsage;
  }
  const std::vector<ModeSchema> schemas = ModeSchemas(api);
  const ModeSchema* mode = FindMode(schemas, options.mode);
  if (mode == nullptr) {
    std::cerr << "zorvel: the plug-in's schema has no mode " << options.mode << "\n";
    return kExitUsage;
  }
  FlatFileRun run(api, options, *mode);
  return run.Run();
}

}  // namespace zorvel::cli
