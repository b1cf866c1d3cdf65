// Temporary directories of packed test tables.
#include "support/packed_tables.h"

#include "refdata/table_packer.h"

namespace zorvel::testing {

TableTexts TwoRuleTexts() {
  TableTexts texts;
  texts.lists = "L,X01,1\n";
  texts.rule_defs = "A,True,Age,,,,Default\nB,DataItemInList,Procedure,,,,L\n";
  return texts;
}

PackedTables::PackedTables(const TableTexts& texts) {
  Write("ValidationLists.csv.enc", EncryptTable(texts.validation_lists));
  Write("Lists.csv.enc", EncryptTable(texts.lists));
  Write("RuleDefs.csv.enc", EncryptTable(texts.rule_defs));
  Write("TriggerAndRulesToHrg.csv.enc", EncryptTable(texts.triggers));
  Write("Combination.csv.enc", EncryptTable(texts.combinations));
  Write("Code.csv.enc", EncryptTable(texts.codes));
}

PackedTables::PackedTables(const std::string& csv_dir) {
  const PackResult packed = PackDirectory(csv_dir, dir());
  if (!packed.ok) fault_ = packed.message;
}

}  // namespace zorvel::testing
