// Row rules of the six reference tables.
#include "refdata/table_loaders.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "common/numbers.h"
#include "refdata/table_packer.h"
#include "refdata/table_reader.h"

namespace zorvel {
namespace {

constexpr const char* kRuleListMissing =
    "InputRules - Rule list missing from list database";
constexpr const char* kTriggerRuleMissing =
    "ImportTriggers  - Rule missing from table";
constexpr const char* kCombinationRuleMissing =
    "ImportCombination - Rule missing from table";

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

bool EqualIgnoringCase(std::string_view a, const char* b) {
  std::string_view other(b);
  if (a.size() != other.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(other[i])) return false;
  return true;
}

// The function code named by `name`, matched without regard to case; false
// when the name is none of the ten.
bool FindFunction(std::string_view name, RuleFunction* function) {
  for (int code = 0; code < 10; ++code) {
    if (EqualIgnoringCase(name, FunctionName(static_cast<RuleFunction>(code)))) {
      *function = static_cast<RuleFunction>(code);
      return true;
    }
  }
  return false;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// One table being read: its reader, its report and the fault policy.
class TableRun {
 public:
  TableRun(int index, FaultMode mode, TableReader& reader)
      : reader_(reader), index_(index), mode_(mode) {
    report_.file = kTableFileNames[index];
  }

  bool Open(const std::string& path, bool skip_header) {
    CsvDialect dialect;
    dialect.skip_header = skip_header;
    report_.opened = reader_.Open(path, kTableKey, dialect);
    if (report_.opened) report_.damage = FindFileFault();
    return report_.opened;
  }

  // Reads the next row; true when its field count fits (`exact` fields, or at
  // least `minimum` when `exact` is 0). A row that does not fit ends the table;
  // its line is kept unless it is only the padding at the end of the file.
  bool NextRow(size_t exact, size_t minimum = 0) {
    size_t count = reader_.ReadRow();
    bool fits = exact != 0 ? count == exact : count >= minimum;
    if (fits) {
      ++report_.rows;
    } else if (count != 0 && !IsPadding()) {
      report_.stop_line = reader_.line();
      report_.stop_fields = count;
    }
    return fits;
  }

  std::string_view Field(size_t i) const { return reader_.field(i); }
  // The line of the file the last row began on.
  uint32_t line() const { return static_cast<uint32_t>(reader_.line()); }
  const std::vector<std::string_view>& Fields() const { return reader_.fields(); }

  // Records a name that could not be resolved; true when the load goes on.
  bool Fault(std::string_view missing, const char* message) {
    report_.faults.push_back(
        {report_.file, reader_.line(), std::string(missing), message});
    return mode_ == FaultMode::kContinue;
  }

  TableReport Finish() { return std::move(report_); }

 private:
  // A final row made of NUL bytes alone is the zero padding of a whole block.
  bool IsPadding() const {
    if (!reader_.ended_by_eof()) return false;
    for (std::string_view field : reader_.fields())
      for (char c : field)
        if (c != '\0') return false;
    return true;
  }

  // Why the file just opened is not whole, from the bytes the reader holds.
  std::optional<TextFault> FindFileFault() const {
    if (!reader_.regular()) return TextFault{0, "not a regular file"};
    if (!reader_.read_whole()) return TextFault{0, "cannot be read to its end"};
    // The trigger and combination tables begin with a header line.
    if (reader_.plain().empty() && (index_ == 3 || index_ == 4))
      return TextFault{0, "empty, without the header line the table begins with"};
    return FindDecryptedFault(reader_.plain().size(), reader_.plain());
  }

  TableReader& reader_;
  TableReport report_;
  int index_;
  FaultMode mode_;
};

TableReport LoadValidationLists(TableRun& run, const std::string& path,
                                ReferenceData* data) {
  ValidationLists& sets = data->mutable_validation_lists();
  sets.clear();
  if (!run.Open(path, false)) return run.Finish();
  // The codes of one list come in adjacent rows: the list is looked up
  // again only when its name changes. Mapped values never move.
  ValidationLists::mapped_type* set = nullptr;
  std::string set_name;
  while (run.NextRow(2)) {
    if (set == nullptr || run.Field(0) != set_name) {
      set_name = run.Field(0);
      set = &sets.try_emplace(set_name, data->arena()).first->second;
    }
    set->Insert(run.Field(1));
  }
  return run.Finish();
}

TableReport LoadLists(TableRun& run, const std::string& path,
                      ReferenceData* data) {
  CodeLists& lists = data->mutable_lists();
  lists.clear();
  if (!run.Open(path, false)) return run.Finish();
  // As for the validation lists, the rows of one list come together.
  CodeList* list = nullptr;
  std::string list_name;
  while (run.NextRow(3)) {
    int32_t value = CodeList::kNoValue;
    if (!run.Field(2).empty())
      value = ParseStrictInt32(run.Field(2)).value_or(CodeList::kNoValue);
    if (list == nullptr || run.Field(0) != list_name) {
      list_name = run.Field(0);
      list = &lists.try_emplace(list_name, data->arena()).first->second;
      list->set_name(list_name);
    }
    list->Set(run.Field(1), value);
  }
  return run.Finish();
}

// Positions and threshold of a rule row: all three fall back to 1, 1 and 0
// when any of the given numbers is not a whole number.
void ReadRuleNumbers(const std::vector<std::string_view>& fields,
                     RuleCondition* condition) {
  std::optional<int32_t> from = 1, to = 1, count = 0;
  if (!fields[3].empty()) from = ParseStrictInt32(fields[3]);
  if (!fields[4].empty()) to = ParseStrictInt32(fields[4]);
  if (!fields[5].empty()) count = ParseStrictInt32(fields[5]);
  if (!from || !to || !count) return;
  condition->from = *from;
  condition->to = *to;
  condition->count = static_cast<int16_t>(static_cast<uint32_t>(*count) & 0xFFFF);
}

TableReport LoadRuleDefs(TableRun& run, const std::string& path,
                         ReferenceData* data) {
  RuleMap& rules = data->mutable_rules();
  rules.clear();
  if (!run.Open(path, false)) return run.Finish();
  // The conditions of one rule mostly come in adjacent rows: the rule of
  // the last row is looked up again only when the name changes. Mapped
  // values of the table never move.
  Rule* rule = nullptr;
  std::string rule_name;
  while (run.NextRow(7)) {
    const std::vector<std::string_view>& fields = run.Fields();
    RuleCondition condition;
    if (fields[0].empty() || !FindFunction(fields[1], &condition.function))
      continue;
    ReadRuleNumbers(fields, &condition);
    const std::string_view list_name = fields[6];
    if (!list_name.empty() && list_name != "Default") {
      condition.list = data->FindList(std::string(list_name));
      if (condition.list == nullptr && !run.Fault(list_name, kRuleListMissing))
        break;
    }
    // Conditions on diagnoses against a complication list test the
    // diagnoses held for complications; a duration tested up to position 4
    // tests the array of durations.
    const std::string_view item = fields[2];
    if (item == "Diagnosis" && list_name.find("_CC") != std::string::npos) {
      condition.SetItem("DiagnosisCC");
    } else if (item == "EpiDur" && fields[4] == "4") {
      condition.SetItem("EpiDurArray");
    } else {
      condition.SetItem(std::string(item));
    }
    if (rule == nullptr || fields[0] != rule_name) {
      rule_name = fields[0];
      auto [it, added] = rules.try_emplace(rule_name);
      rule = &it->second;
      if (added) {
        rule->conditions = ArenaVector<RuleCondition>(ArenaAllocator<RuleCondition>(data->arena()));
        rule->name = rule_name;
      }
    }
    rule->conditions.push_back(std::move(condition));
  }
  for (auto& [name, loaded] : rules) {
    loaded.always = std::all_of(
        loaded.conditions.begin(), loaded.conditions.end(),
        [](const RuleCondition& c) { return c.function == RuleFunction::kTrue; });
  }
  return run.Finish();
}

// The rule of the name last asked for, looked up again only when the name
// changes: adjacent trigger rows mostly share their trigger rule.
class RuleLookup {
 public:
  const Rule* Find(const ReferenceData& data, std::string_view name) {
    if (!found_ || name != name_) {
      name_ = name;
      rule_ = data.FindRule(name_);
      found_ = true;
    }
    return rule_;
  }

 private:
  std::string name_;
  const Rule* rule_ = nullptr;
  bool found_ = false;
};

TableReport LoadTriggers(TableRun& run, const std::string& path,
                         ReferenceData* data) {
  TriggerTables& tables = data->mutable_trigger_tables();
  tables.clear();
  if (!run.Open(path, true)) return run.Finish();
  RuleLookup entry_rules;
  RuleLookup trigger_rules;
  TextPool& texts = data->entry_texts();
  // The code map of the last row's table and code type; the rows of one
  // table and type come together. Mapped values of the tables never move.
  CodeMap* codes = nullptr;
  std::string codes_table;
  std::string codes_type;
  while (run.NextRow(0, 8)) {
    const std::vector<std::string_view>& fields = run.Fields();
    if (fields[4].empty()) continue;
    HrgEntry entry{texts.Intern(fields[4]), texts.Intern(fields[7]),
                   entry_rules.Find(*data, fields[3]), run.line()};
    if (entry.rule == nullptr) {
      if (!run.Fault(fields[3], kTriggerRuleMissing)) break;
      continue;
    }
    const Rule* trigger_rule = trigger_rules.Find(*data, fields[6]);
    if (trigger_rule == nullptr) {
      if (!run.Fault(fields[6], kTriggerRuleMissing)) break;
      continue;
    }
    // Combination codes of the core and radiology tables are procedures.
    std::string_view code_type = fields[1];
    if (code_type == "Combination" &&
        (StartsWith(fields[0], "Core") || StartsWith(fields[0], "URad")))
      code_type = "OPCS";
    if (codes == nullptr || fields[0] != codes_table || code_type != codes_type) {
      codes_table = fields[0];
      CodeTypeMap& types =
          tables.try_emplace(codes_table, MakeNameMap<CodeTypeMap>(data->arena())).first->second;
      codes_type = code_type;
      codes = &types.try_emplace(codes_type, data->arena()).first->second;
      codes->table = codes_table;
      codes->code_type = codes_type;
    }
    TriggerList& list = codes->codes.Insert(fields[2]);
    // Adjacent rows with the same trigger rule add candidates to one trigger.
    // A new list, and every trigger, takes its memory from the arena.
    if (list.empty()) list = TriggerList(ArenaAllocator<Trigger>(data->arena()));
    if (list.empty() || list.back().rule != trigger_rule)
      list.push_back(Trigger{trigger_rule, HrgEntries(ArenaAllocator<HrgEntry>(data->arena()))});
    list.back().entries.push_back(std::move(entry));
  }
  return run.Finish();
}

TableReport LoadCombinations(TableRun& run, const std::string& path,
                             ReferenceData* data) {
  Combinations& combinations = data->mutable_combinations();
  combinations.clear();
  if (!run.Open(path, true)) return run.Finish();
  RuleLookup rules;
  while (run.NextRow(3)) {
    const std::vector<std::string_view>& fields = run.Fields();
    if (fields[0].empty()) continue;
    HrgEntry entry{data->entry_texts().Intern(fields[2]), "", rules.Find(*data, fields[1]),
                   run.line()};
    if (entry.rule == nullptr) {
      if (!run.Fault(fields[1], kCombinationRuleMissing)) break;
      continue;
    }
    combinations.Insert(fields[0]).push_back(std::move(entry));
  }
  return run.Finish();
}

// Only the texts of the error HRGs are kept, keyed by their HRG code.
TableReport LoadCodes(TableRun& run, const std::string& path,
                      ReferenceData* data) {
  CodeTexts& texts = data->mutable_code_texts();
  texts.clear();
  if (!run.Open(path, false)) return run.Finish();
  while (run.NextRow(4)) {
    if (run.Field(0) == "HRG6" && run.Field(2) == "UZ")
      texts[std::string(run.Field(1))] = run.Field(3);
  }
  return run.Finish();
}

}  // namespace

TableReport LoadTable(int index, const std::string& path, ReferenceData* data,
                      FaultMode mode, TableReader* reader) {
  TableReader own_reader;
  TableRun run(index, mode, reader != nullptr ? *reader : own_reader);
  switch (index) {
    case 0: return LoadValidationLists(run, path, data);
    case 1: return LoadLists(run, path, data);
    case 2: return LoadRuleDefs(run, path, data);
    case 3: return LoadTriggers(run, path, data);
    case 4: return LoadCombinations(run, path, data);
    case 5: return LoadCodes(run, path, data);
    default: return TableReport{};
  }
}

}  // namespace zorvel
