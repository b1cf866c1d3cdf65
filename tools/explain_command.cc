// zorvel explain: groups each request with "Trace": true and prints the
// steps that chose its HRGs, as readable text or (--json) as the "Trace"
// members alone.
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "commands.h"
#include "mode_codes.h"
#include "plugin_loader.h"
#include "request_lines.h"
#include "trace_text.h"

namespace zorvel::cli {
namespace {

struct ExplainOptions {
  std::string data_dir;
  std::string plugin_path;
  std::string mode;
  bool json = false;
  std::vector<std::string> inputs;
};

// The "Group" of a request text; empty when it has none.
std::string GroupOf(const std::string& request) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(request.c_str());
  if (document.HasParseError() || !document.IsObject()) return "";
  const auto group = document.FindMember("Group");
  if (group == document.MemberEnd() || !group->value.IsString()) return "";
  return group->value.GetString();
}

class Explainer {
 public:
  Explainer(const PluginApi& api, const ExplainOptions& options)
      : api_(api), options_(options) {}

  void Run(std::istream& in, const std::string& name) {
    std::string line;
    long line_number = 0;
    while (std::getline(in, line)) {
      ++line_number;
      if (!IsBlank(line)) Explain(line, name + ":" + std::to_string(line_number));
    }
  }

  long unanswered() const { return unanswered_; }

 private:
  void Explain(const std::string& line, const std::string& where) {
    if (!options_.mode.empty() && IsWholeRequest(line)) {
      std::cerr << where << ": a whole request (it has \"Group\" and \"Spell\"), but --mode "
                << options_.mode << " expects bare spells\n";
      ++unanswered_;
      return;
    }
    const std::string request =
        WithTrace(options_.mode.empty() ? line : WrapSpell(options_.mode, line));
    const std::string_view answer = buffer_.Fetch([&](char* buffer, uint32_t size) {
      return api_.CS_Process(0, request.c_str(), buffer, size);
    });
    rapidjson::Document response;
    response.Parse<rapidjson::kParseIterativeFlag>(answer.data(), answer.size());
    if (response.HasParseError() || !response.IsObject() || response.ObjectEmpty()) {
      std::cerr << where << ": not a grouping request (needs an object with \"Group\" and \"Spell\")\n";
      ++unanswered_;
      return;
    }
    std::cout << (options_.json ? TraceJson(response) : TraceText(response, GroupOf(request)));
  }

  const PluginApi& api_;
  const ExplainOptions& options_;
  DocumentBuffer buffer_;
  long unanswered_ = 0;
};

int RunExplain(const ExplainOptions& options) {
  PluginLoader loader;
  int code = OpenPlugin(options.plugin_path, loader);
  if (code != kExitOk) return code;
  code = PrepareTables(loader.api(), options.data_dir, /*strict=*/false);
  if (code != kExitOk) return code;
  if (!options.mode.empty()) {
    code = CheckModeCode(loader.api(), options.mode);
    if (code != kExitOk) return code;
  }
  Explainer explainer(loader.api(), options);
  if (options.inputs.empty()) explainer.Run(std::cin, "<stdin>");
  for (const std::string& path : options.inputs) {
    if (path == "-") {
      explainer.Run(std::cin, "<stdin>");
      continue;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::cerr << "zorvel: cannot read " << path << "\n";
      return kExitInputUnreadable;
    }
    explainer.Run(in, path);
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "zorvel: the explanation could not be written\n";
    return kExitIoError;
  }
  return explainer.unanswered() > 0 ? kExitBadRecords : kExitOk;
}

}  // namespace

void AddExplainCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<ExplainOptions>();
  CLI::App* explain = app.add_subcommand(
      "explain",
      "Group JSON Lines requests and print, for each, the steps that chose its "
      "HRGs: the codes read, the tables, lists and rules consulted, and why each "
      "candidate won or lost");
  AddPluginOptions(explain, &options->data_dir, &options->plugin_path);
  explain->add_option("--mode", options->mode,
                      "Mode code; each line is then a bare spell object");
  explain->add_flag("--json", options->json,
                    "Print each request's \"Trace\" members as one JSON line instead of text");
  explain->add_option("FILE", options->inputs,
                      "Input files (default: standard input; - is standard input)");
  explain->callback([options, exit_code] { *exit_code = RunExplain(*options); });
}

}  // namespace zorvel::cli
