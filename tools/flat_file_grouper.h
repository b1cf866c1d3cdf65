// Groups batches of spells read from a flat file and turns each answer into
// the lines of the output files: spells.csv, episodes.csv, errors.csv,
// unbundled.csv, and the counts of summary.csv.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>

#include "column_mapping.h"
#include "mode_schema.h"
#include "plugin_loader.h"
#include "spell_batch.h"

namespace zorvel::cli {

class FlatFileGrouper {
 public:
  // With `requests_only`, a batch's result holds the requests it would
  // send, as JSON Lines, and nothing is grouped.
  FlatFileGrouper(const PluginApi& api, const ModeSchema& mode, const ColumnMapping& mapping,
                  bool keep_responses, bool requests_only = false);

  BatchResult Group(const SpellBatch& batch);

  // The header lines of the output files.
  std::string SpellsHeader() const;
  std::string EpisodesHeader() const;
  static std::string ErrorsHeader();
  static std::string UnbundledHeader();
  // trace.csv: one line per step of a traced answer, numbered from 1 within
  // its spell (the spell's own steps first, then each episode's).
  static std::string TraceHeader();
  // Whether the mode's answers carry "UnbundledHRG" (and unbundled.csv is
  // written).
  bool HasUnbundled() const { return has_unbundled_; }

  // The members of an answer object that the files need beyond its cells
  // (the first member of each name).
  struct Members {
    const rapidjson::Value* success = nullptr;
    const rapidjson::Value* hrg = nullptr;
    const rapidjson::Value* errors = nullptr;
    const rapidjson::Value* unbundled = nullptr;
    const rapidjson::Value* trace = nullptr;
    const rapidjson::Value* episodes = nullptr;
    const rapidjson::Value* id = nullptr;
  };

 private:
  void AddAnswer(const SpellRows& spell, std::string_view answer, BatchResult* result);
  // One pass over the members of `object`: the cells of `columns` into
  // cells_, and the members above.
  Members Scan(const rapidjson::Value& object, const std::vector<std::string>& columns);
  // Appends the cells the last Scan found.
  void AppendCells(std::string* line) const;

  const PluginApi& api_;
  const ColumnMapping& mapping_;
  bool keep_responses_;
  bool requests_only_;
  std::vector<std::string> spell_columns_;    // spell outputs but "Id" and "Errors"
  std::vector<std::string> episode_columns_;  // likewise for episodes
  bool spell_has_hrg_ = false;
  bool has_unbundled_ = false;
  DocumentBuffer buffer_;
  std::string request_;
  std::string answer_;
  std::vector<char> node_buffer_ = std::vector<char>(256 * 1024);
  std::vector<std::string_view> cells_;
  std::vector<std::string> scratch_;
};

}  // namespace zorvel::cli
