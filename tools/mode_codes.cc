#include "mode_codes.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <string_view>

#include "commands.h"
#include "mode_schema.h"

namespace zorvel::cli {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Levenshtein distance, for suggesting a code one slip away.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Joined(const std::vector<std::string>& codes) {
  std::string text;
  for (const std::string& code : codes) text += (text.empty() ? "" : ", ") + code;
  return text;
}

}  // namespace

std::vector<std::string> ModeCodes(const PluginApi& api) {
  std::vector<std::string> codes;
  for (const ModeSchema& mode : ModeSchemas(api)) codes.push_back(mode.code);
  return codes;
}

std::vector<std::string> ModesNotReady(const PluginApi& api, const std::vector<std::string>& codes) {
  std::vector<std::string> not_ready;
  DocumentBuffer buffer;
  for (const std::string& code : codes) {
    // An empty spell: a mode that is set up has nothing to check in it, one
    // that is not answers with its error on the field "PLUGIN".
    const std::string text = "{\"Group\":\"" + code + "\",\"Spell\":{\"Episodes\":[]}}";
    const std::string_view answer = buffer.Fetch([&](char* data, uint32_t size) {
      return api.CS_Process(0, text.c_str(), data, size);
    });
    if (answer.find("\"Field\":\"PLUGIN\"") != std::string_view::npos) not_ready.push_back(code);
  }
  return not_ready;
}

int CheckModeCode(const PluginApi& api, const std::string& mode) {
  const std::vector<std::string> codes = ModeCodes(api);
  if (std::find(codes.begin(), codes.end(), mode) != codes.end()) return kExitOk;
  std::cerr << "zorvel: unknown mode '" << mode << "'";
  // The same code in other letter case first, else one a single slip away.
  auto close = std::find_if(codes.begin(), codes.end(),
                            [&](const std::string& code) { return code == Upper(mode); });
  if (close == codes.end()) {
    close = std::find_if(codes.begin(), codes.end(), [&](const std::string& code) {
      return Distance(code, Upper(mode)) == 1;
    });
  }
  if (close != codes.end()) std::cerr << " (did you mean '" << *close << "'?)";
  std::cerr << "; the modes are " << (codes.empty() ? "none" : Joined(codes))
            << " (codes are case-sensitive)\n";
  return kExitUsage;
}

}  // namespace zorvel::cli
