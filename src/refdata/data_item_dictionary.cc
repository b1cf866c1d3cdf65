// The compiled-in data item dictionary: kinds and schema attributes.
#include "refdata/data_item_dictionary.h"

#include <string>
#include <string_view>

#include <boost/unordered_map.hpp>

namespace zorvel {
namespace {

// Keyed by views of the static name literals below, so that a look-up by
// view needs no copy of the name.
using KindTable = boost::unordered_map<std::string_view, DataItemKind>;
using AttributeTable = boost::unordered_map<std::string, AttributeList>;
using ModeAttributeTable = boost::unordered_map<std::string, AttributeTable>;

// Items held as sequences of texts; every other dictionary item is single.
constexpr const char* kArrayItems[] = {
    "UnbundledHRG", "Procedure", "ProcedureOld", "CCAC",        "RenalBBV",
    "Treat",        "Invest",    "ACCDays",      "Diagnosis",   "DiagnosisCC",
    "EpiDurArray",  "SSC",       "SpellSSC",     "BP"};

// All item names, in the order in which they are entered.
constexpr const char* kItemNames[] = {
    "HRG", "ALT_HRG", "GroupingMethodFlag", "DGVP", "UnbundledHRG",
    "Loopback1", "Loopback2", "Loopback3", "Id", "Age", "SEX", "Procedure",
    "ProcedureOld", "CCAC", "RenalMod", "RenalSite", "RenalAccess", "HBV",
    "HCV", "HIV", "RenalBBV", "MAINSPEF", "TRETSPEF", "FIRSTATT", "Treat",
    "Invest", "AEPatGroup", "ACCDays", "ACC_CCUF", "BCSD", "ACSD", "BRSD",
    "ARSD", "RSD", "NSD", "DSD", "LSD", "CCL2D", "CCL3D", "CC_Start_Date",
    "CC_Discharge_Date", "Calc_CC_Days", "Flag", "PCC_CCUF", "PerWt",
    "PerWtBand", "GestLen", "Age_days", "NCC_CCUF", "CCDate", "DISDATE",
    "EpiCount", "ADMISORC", "ADMIMETH", "CLASSPAT", "CRITICALCAREDAYS",
    "Diagnosis", "DiagnosisCC", "DISDEST", "DISMETH", "EpiDur", "EpiDurArray",
    "REHABILITATIONDAYS", "NEOCARE", "PBC", "SPCDAYS", "SpellReportFlag",
    "PDiag", "SDiag", "SSC", "SpellSSC", "BP", "AgeType", "AdmiType",
    "AdmiTypeNE", "PSSCLASSPAT", "PSSAge", "ReportingEpiDur", "Trimpoint",
    "ExcessBeddays", "SpellReportingEpiDur", "SpellTrimpoint",
    "SpellExcessBeddays", "EpiDurV", "EpiDurValue", "SpellEpiDurValue"};

KindTable BuildKinds() {
  KindTable kinds;
  kinds.max_load_factor(1.0f);
  for (const char* name : kItemNames) kinds[name] = kSingle;
  for (const char* name : kArrayItems) kinds[name] = kArray;
  return kinds;
}

const AttributeList kDayCount = {{"default", "1"}};
const AttributeList kUnknownVirus = {{"default", "UNK"}};

AttributeTable BuildDefaultAttributes() {
  AttributeTable table;
  table.max_load_factor(1.0f);
  table["Diagnosis"] = {{"uppercase", "true"},
                        {"persistOnCopy", "true"},
                        {"persistOnCopyLimit", "1"}};
  table["Procedure"] = {{"uppercase", "true"}};
  table["Age"] = {{"required", "true"}, {"persistOnCopy", "true"}, {"default", "25"}};
  table["SEX"] = {{"required", "true"}, {"persistOnCopy", "true"}, {"default", "1"}};
  table["DISDATE"] = {{"required", "true"},
                      {"default", "20180410"},
                      {"persistOnCopy", "true"},
                      {"date", "true"}};
  table["MAINSPEF"] = {{"required", "true"}, {"default", "300"}, {"persistOnCopy", "true"}};
  table["TRETSPEF"] = {{"required", "true"}, {"default", "300"}, {"persistOnCopy", "true"}};
  table["FIRSTATT"] = {{"required", "true"}, {"default", "1"}};
  table["ACC_CCUF"] = {{"required", "true"}, {"default", "01"}};
  for (const char* name : {"BCSD", "ACSD", "BRSD", "ARSD", "RSD", "NSD", "DSD",
                           "LSD", "CCL2D", "CCL3D"}) {
    table[name] = kDayCount;
  }
  table["CC_Start_Date"] = {{"default", "20180401"}};
  table["CC_Discharge_Date"] = {{"default", "20180401"}};
  table["PCC_CCUF"] = {{"required", "true"}, {"default", "04"}, {"persistOnCopy", "true"}};
  table["PerWt"] = {{"required", "true"}, {"default", "3.000"}, {"persistOnCopy", "true"}};
  table["GestLen"] = {{"required", "true"}, {"default", "40"}, {"persistOnCopy", "true"}};
  table["Age_days"] = {{"required", "true"}, {"default", "0"}, {"incrementOnCopy", "1"}};
  table["NCC_CCUF"] = {{"required", "true"}, {"default", "13"}, {"persistOnCopy", "true"}};
  table["CCDate"] = {{"required", "true"},
                     {"default", "20180401"},
                     {"incrementOnCopy", "1"},
                     {"date", "true"}};
  table["ADMISORC"] = {{"required", "true"}, {"default", "19"}, {"persistOnCopy", "true"}};
  table["ADMIMETH"] = {{"required", "true"}, {"default", "11"}, {"persistOnCopy", "true"}};
  table["DISMETH"] = {{"required", "true"}, {"default", "1"}, {"persistOnCopy", "true"}};
  table["DISDEST"] = {{"required", "true"}, {"default", "19"}, {"persistOnCopy", "true"}};
  table["CLASSPAT"] = {{"required", "true"}, {"default", "1"}, {"persistOnCopy", "true"}};
  table["NEOCARE"] = {{"default", "8"}, {"persistOnCopy", "true"}};
  table["EpiDur"] = {{"required", "true"}, {"default", "0"}, {"persistOnCopy", "true"}};
  table["CRITICALCAREDAYS"] = {{"default", "0"}};
  table["REHABILITATIONDAYS"] = {{"default", "0"}};
  table["SPCDAYS"] = {{"default", "0"}};
  for (const char* name : {"HBV", "HCV", "HIV"}) table[name] = kUnknownVirus;
  table["RenalMod"] = {{"required", "true"}};
  table["RenalSite"] = {{"required", "true"}};
  return table;
}

ModeAttributeTable BuildModeAttributes() {
  ModeAttributeTable table;
  table.max_load_factor(1.0f);
  table["APC"]["Id"] = {{"required", "true"}};
  table["APC"]["Diagnosis"] = {{"required", "true"},
                               {"requiredLimit", "1"},
                               {"uppercase", "true"},
                               {"persistOnCopy", "true"},
                               {"persistOnCopyLimit", "1"}};
  table["NRD"]["Age"] = {{"required", "true"}};
  table["EM"]["Age"] = {{"required", "true"}};
  table["PCC"]["Diagnosis"] = {{"required", "true"},
                               {"requiredLimit", "1"},
                               {"uppercase", "true"}};
  return table;
}

// The tables are built on first use and never changed afterwards.
const KindTable& Kinds() {
  static const KindTable kinds = BuildKinds();
  return kinds;
}

const AttributeTable& DefaultAttributes() {
  static const AttributeTable table = BuildDefaultAttributes();
  return table;
}

const ModeAttributeTable& ModeAttributes() {
  static const ModeAttributeTable table = BuildModeAttributes();
  return table;
}

}  // namespace

DataItemKind KindOf(std::string_view name) {
  const KindTable& kinds = Kinds();
  auto it = kinds.find(name);
  return it == kinds.end() ? kUnknownItem : it->second;
}

const AttributeList* AttributesFor(std::string_view mode, std::string_view item) {
  const std::string item_name(item);
  auto mode_it = ModeAttributes().find(std::string(mode));
  if (mode_it != ModeAttributes().end()) {
    auto it = mode_it->second.find(item_name);
    if (it != mode_it->second.end()) return &it->second;
  }
  auto it = DefaultAttributes().find(item_name);
  return it == DefaultAttributes().end() ? nullptr : &it->second;
}

}  // namespace zorvel
