// Request building and the critical care test tables.
#include "support/critical_care_requests.h"

#include <utility>

#include "plugin/zorvel_plugin.h"

namespace zorvel {
namespace testing {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// `value` (not negative) in decimal, with leading zeros up to `width` digits.
std::string Padded(int value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

constexpr const char* kValidationLists =
    "PCC_CCUF,01\n"
    "CCAC,00\nCCAC,01\nCCAC,03\nCCAC,09\nCCAC,11\nCCAC,13\nCCAC,14\n"
    "CCAC,16\nCCAC,17\nCCAC,20\nCCAC,21\nCCAC,30\nCCAC,52\nCCAC,53\n"
    "CCAC,57\nCCAC,58\nCCAC,60\nCCAC,99\n"
    "DISMETH,1\nDISMETH,4\n"
    "ICD,J960\nICD,R509\n"
    "OPCS,X581\nOPCS,E851\n"
    "NCC_CCUF,01\nNCC_CCUF,13\nNCC_CCUF,14\n"
    "Age_days,0\nAge_days,1\nAge_days,2\nAge_days,3\nAge_days,7\n"
    "Age_days,8\nAge_days,9\n"
    "PerWtBand,0001_2000\nPerWtBand,2001_9999\n";

constexpr const char* kGestationList =
    "GestLen,33\nGestLen,34\nGestLen,35\nGestLen,36\nGestLen,38\n";

constexpr const char* kLists =
    "Approach,Y761,\nSite,Z941,\n"
    "PCCHier,60,90\nPCCHier,30,70\nPCCHier,20,50\nPCCHier,21,50\n"
    "PCCHier,53,40\nPCCHier,52,35\nPCCHier,58,30\nPCCHier,57,25\n"
    "PCCHier,13,20\nPCCHier,99,1\nPCCHier,00,0\n"
    "NCCHier,01,95\nNCCHier,11,90\nNCCHier,16,65\nNCCHier,17,60\n"
    "NCCHier,14,50\nNCCHier,09,30\nNCCHier,03,20\nNCCHier,21,10\n"
    "NCCHier,99,5\n"
    "PccRespDiag,J960,\nPccEcmoProc,X581,\n"
    "NccSurgSupport,21,\nNccTransUnits,14,\n";

constexpr const char* kRuleDefs =
    "Always,True,,,,,Default\n"
    "PccRespDiag,DataItemInList,Diagnosis,1,99,,PccRespDiag\n"
    "PccEcmo,DataItemInList,Procedure,1,99,,PccEcmoProc\n"
    "NccNextSurgSupport,NextDataItemInList,CCAC,,,,NccSurgSupport\n"
    "NccTransitionalUnit,DataItemInList,NCC_CCUF,,,,NccTransUnits\n";

constexpr const char* kTriggers =
    "PCC1,CCAC,60,Always,XB01Z,,Always,\n"
    "PCC1,CCAC,30,Always,XB03Z,,Always,\n"
    "PCC1,CCAC,20,PccRespDiag,XB05Z,,Always,\n"
    "PCC1,CCAC,20,Always,XB05Z,,Always,UZ02\n"
    "PCC1,CCAC,21,Always,XB04Z,,Always,\n"
    "PCC1,CCAC,53,Always,XB06Z,,Always,\n"
    "PCC1,CCAC,52,Always,XB06Z,,Always,\n"
    "PCC1,CCAC,58,Always,XB07Z,,Always,\n"
    "PCC1,CCAC,57,Always,XB07Z,,Always,\n"
    "PCC1,CCAC,13,Always,XB09Z,,Always,\n"
    "PCC1,CCAC,99,Always,XB09Z,,Always,\n"
    "PCC2,HRG6,XB01,PccEcmo,XB01A,,Always,\n"
    "PCC2,HRG6,XB01,Always,XB01Z,,Always,\n"
    "PCC2,HRG6,XB03,PccRespDiag,XB03A,,Always,\n"
    "NCC1,CCAC,01,Always,XA08Z,,Always,\n"
    "NCC1,CCAC,11,NccNextSurgSupport,XA01A,,Always,\n"
    "NCC1,CCAC,11,Always,XA01Z,,Always,\n"
    "NCC1,CCAC,14,Always,XA04Z,,Always,\n"
    "NCC1,CCAC,09,Always,XA05Z,,Always,\n"
    "NCC1,CCAC,03,Always,XA05Z,,Always,\n"
    "NCC1,CCAC,99,Always,XA06Z,,Always,\n"
    "NCC1,CCAC,16,NccTransitionalUnit,XA07Z,,Always,\n"
    "NCC1,CCAC,16,Always,UZ01Z,,Always,UZ21\n"
    "NCC1,CCAC,17,Always,UZ01Z,,Always,UZ11\n";

}  // namespace

TableTexts CriticalCareTableTexts(bool with_gestation_list) {
  TableTexts texts;
  texts.validation_lists = kValidationLists;
  if (with_gestation_list) texts.validation_lists += kGestationList;
  texts.lists = kLists;
  texts.rule_defs = kRuleDefs;
  texts.triggers += kTriggers;
  texts.codes = "HRG6,UZ01Z,UZ,Test error HRG\n";
  return texts;
}

void JsonObject::Put(const std::string& name, std::string value_text) {
  for (auto& member : members_) {
    if (member.first == name) {
      member.second = std::move(value_text);
      return;
    }
  }
  members_.emplace_back(name, std::move(value_text));
}

JsonObject& JsonObject::Set(const std::string& name, const std::string& value) {
  Put(name, Quoted(value));
  return *this;
}

JsonObject& JsonObject::List(const std::string& name,
                             const std::vector<std::string>& values) {
  std::string text = "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ",";
    text += Quoted(values[i]);
  }
  Put(name, text + "]");
  return *this;
}

std::string JsonObject::Text() const {
  std::string text = "{";
  for (size_t i = 0; i < members_.size(); ++i) {
    if (i > 0) text += ",";
    text += Quoted(members_[i].first) + ":" + members_[i].second;
  }
  return text + "}";
}

std::string Request(const std::string& group, const std::string& spell_id,
                    const std::vector<JsonObject>& episodes,
                    const std::vector<std::string>& extra_items) {
  std::string text = "{\"Group\":" + Quoted(group) +
                     ",\"Spell\":{\"Id\":" + Quoted(spell_id) +
                     ",\"Episodes\":[";
  for (size_t i = 0; i < episodes.size(); ++i) {
    if (i > 0) text += ",";
    text += episodes[i].Text();
  }
  text += "]},\"ExtraEpisodeItems\":[";
  for (size_t i = 0; i < extra_items.size(); ++i) {
    if (i > 0) text += ",";
    text += Quoted(extra_items[i]);
  }
  return text + "]}";
}

std::string NthDay(int n) {
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30,
                                   31, 31, 30, 31, 30, 31};
  int year = 2019;
  int month = 0;
  while (n >= kMonthDays[month]) {
    n -= kMonthDays[month];
    if (++month == 12) {
      month = 0;
      ++year;  // only reached beyond the range above
    }
  }
  return Padded(year, 4) + Padded(month + 1, 2) + Padded(n + 1, 2);
}

std::string Process(const std::string& request) {
  std::string buffer(1 << 20, '\0');
  const uint32_t length =
      CS_Process(0, request.c_str(), &buffer[0],
                 static_cast<uint32_t>(buffer.size()));
  if (length == 0 || length > buffer.size()) return std::string();
  buffer.resize(length - 1);
  return buffer;
}

}  // namespace testing
}  // namespace zorvel
