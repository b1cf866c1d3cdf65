// Fuzzes the flat-file reader and the column mapping: the input is a CSV
// extract (its first row the header), read as `zorvel group --mode APC`
// reads it. Every row read must end in a spell or a rejection (rows read =
// rows in spells + rows rejected), and every spell must become a request
// that is a JSON object.
#include <cstdint>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "column_mapping.h"
#include "csv_row_reader.h"
#include "fuzz_support.h"
#include "spell_assembler.h"

namespace {

// The admitted patient care inputs, as the schema lists them.
zorvel::cli::ModeSchema AdmittedMode() {
  zorvel::cli::ModeSchema mode;
  mode.code = "APC";
  mode.spell_inputs = {{"Id", false}};
  for (const char* name : {"Id", "Age", "SEX", "CLASSPAT", "ADMISORC", "ADMIMETH", "DISDEST",
                           "DISMETH", "EpiDur", "MAINSPEF", "NEOCARE", "TRETSPEF"}) {
    mode.episode_inputs.push_back({name, false});
  }
  mode.episode_inputs.push_back({"Diagnosis", true});
  mode.episode_inputs.push_back({"Procedure", true});
  return mode;
}

const std::string& ExtractPath() {
  static const std::string path = zorvel::fuzz::MakeScratchDir() + "extract.csv";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zorvel::cli;
  zorvel::fuzz::WriteWholeFile(ExtractPath(), std::string(reinterpret_cast<const char*>(data), size));
  CsvRowReader reader;
  zorvel::fuzz::Require(reader.Open(ExtractPath()), "the extract could not be opened");
  CsvRow header;
  if (!reader.Next(&header) || !header.fault.empty()) return 0;
  // A small column map, so that mapped, numbered and pass-through columns
  // are all exercised whatever the header holds.
  const std::vector<ColumnMapEntry> map = {{2, "DIAG_01", "Diagnosis", 1},
                                           {3, "DIAG_02", "Diagnosis", 2},
                                           {4, "EXTRA", "NotInSchema", 0}};
  ColumnMapping mapping;
  if (!mapping.Build(AdmittedMode(), header.cells.ToStrings(), "SpellId", map)) return 0;
  reader.set_width(header.cells.size());

  long read = 0, grouped = 0, rejected = 0;
  std::string room;
  SpellAssembler assembler(
      [&](SpellRows&& spell) {
        grouped += static_cast<long>(spell.rows.size());
        std::vector<const RowCells*> rows;
        for (const auto& row : spell.rows) {
          zorvel::fuzz::Require(row.size() == header.cells.size(), "a spell row of the wrong width");
          rows.push_back(&row);
        }
        const std::string_view request = mapping.WriteRequest(spell.id, rows, &room);
        rapidjson::Document document;
        document.Parse(request.data(), request.size());
        zorvel::fuzz::Require(!document.HasParseError() && document.IsObject(),
                              "a request that is not a JSON object");
      },
      [&](RejectedRow&&) { ++rejected; });
  const int spell_column = mapping.spell_column();
  CsvRow row;
  while (reader.Next(&row)) {
    ++read;
    assembler.AddRow(std::move(row), header.cells.size(), spell_column, read);
  }
  assembler.Finish();
  zorvel::fuzz::Require(read == grouped + rejected, "rows read != rows grouped + rows rejected");
  return 0;
}
