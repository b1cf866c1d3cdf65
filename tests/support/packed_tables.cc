// Temporary directories of packed test tables.
#include "support/packed_tables.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "refdata/table_packer.h"

namespace zorvel::testing {
namespace {

std::string MakeTempDirectory() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "zorvel_tables_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern + "/";
}

void WritePacked(const std::string& path, const std::string& csv) {
  std::ofstream out(path, std::ios::out | std::ios::binary | std::ios::trunc);
  std::string packed = EncryptTable(csv);
  out.write(packed.data(), static_cast<std::streamsize>(packed.size()));
}

}  // namespace

TableTexts TwoRuleTexts() {
  TableTexts texts;
  texts.lists = "L,X01,1\n";
  texts.rule_defs = "A,True,Age,,,,Default\nB,DataItemInList,Procedure,,,,L\n";
  return texts;
}

PackedTables::PackedTables(const TableTexts& texts) : dir_(MakeTempDirectory()) {
  WritePacked(dir_ + "ValidationLists.csv.enc", texts.validation_lists);
  WritePacked(dir_ + "Lists.csv.enc", texts.lists);
  WritePacked(dir_ + "RuleDefs.csv.enc", texts.rule_defs);
  WritePacked(dir_ + "TriggerAndRulesToHrg.csv.enc", texts.triggers);
  WritePacked(dir_ + "Combination.csv.enc", texts.combinations);
  WritePacked(dir_ + "Code.csv.enc", texts.codes);
}

PackedTables::PackedTables(const std::string& csv_dir) : dir_(MakeTempDirectory()) {
  const PackResult packed = PackDirectory(csv_dir, dir_);
  if (!packed.ok) fault_ = packed.message;
}

PackedTables::~PackedTables() {
  std::error_code error;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, error);
}

const std::string& PackedTables::dir() const { return dir_; }

void PackedTables::Remove(const std::string& file_name) {
  std::remove((dir_ + file_name).c_str());
}

}  // namespace zorvel::testing
