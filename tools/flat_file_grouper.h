// Groups batches of spells read from a flat file and turns each answer into
// the lines of the output files: spells.csv, episodes.csv, errors.csv,
// unbundled.csv, and the counts of summary.csv.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "answer_tape.h"
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

  // Adds the lines and counts of `batch` to `result`.
  void GroupInto(const SpellBatch& batch, BatchResult* result);

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
  // (the first member of each name), as the tape's indices of their values;
  // 0 where there is none.
  struct Members {
    uint32_t success = 0;
    uint32_t hrg = 0;
    uint32_t errors = 0;
    uint32_t unbundled = 0;
    uint32_t trace = 0;
    uint32_t episodes = 0;
    uint32_t id = 0;
  };

 private:
  // An object's output columns, and the names its members may have in the
  // order answers list them (the names `first`, which are not columns, then
  // the schema's outputs, then "Episodes"), each with its column (or
  // kNoColumn) and the member of Members it fills, if any; and the cells of
  // its line, the columns after `lead` cells the caller fills.
  struct Columns {
    Columns(const std::vector<SchemaField>& outputs, size_t lead_cells,
            std::initializer_list<const char*> first);
    static constexpr uint32_t kNoColumn = UINT32_MAX;
    struct Member {
      std::string_view name;   // in member_names
      uint32_t column;         // or kNoColumn
      uint32_t Members::*slot;  // or nullptr
    };
    std::vector<std::string> names;  // of the columns
    std::vector<std::string> member_names;
    std::vector<Member> members;
    size_t lead;
    std::vector<std::string_view> cells;
  };

  void AddAnswer(const SpellRows& spell, std::string_view answer, BatchResult* result);
  // One pass over the members of the tape's object at `object`: the cells
  // of `columns` into its cells, and the members above.
  Members Scan(uint32_t object, Columns& columns);

  const PluginApi& api_;
  const ColumnMapping& mapping_;
  bool keep_responses_;
  bool requests_only_;
  Columns spell_columns_;    // spell outputs but "Id" and "Errors"
  Columns episode_columns_;  // likewise for episodes
  bool spell_has_hrg_ = false;
  bool has_unbundled_ = false;
  DocumentBuffer buffer_;
  std::string request_;  // room for the request being sent
  AnswerTape tape_;
  std::vector<std::string> scratch_;
};

}  // namespace zorvel::cli
