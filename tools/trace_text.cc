// Text and JSON forms of a response's trace.
#include "trace_text.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace zorvel::cli {
namespace {

using Value = rapidjson::Value;

// The text member `name` of `object`; empty when absent or not a text.
std::string Text(const Value& object, const char* name) {
  if (!object.IsObject()) return "";
  const auto member = object.FindMember(name);
  if (member == object.MemberEnd() || !member->value.IsString()) return "";
  return std::string(member->value.GetString(), member->value.GetStringLength());
}

bool IsTrue(const Value& object, const char* name) {
  const auto member = object.FindMember(name);
  return member != object.MemberEnd() && member->value.IsBool() && member->value.GetBool();
}

// "HRG X, grouped" or "failed".
std::string Outcome(const Value& record) {
  const std::string hrg = Text(record, "HRG");
  const std::string outcome = IsTrue(record, "Success") ? "grouped" : "failed";
  return hrg.empty() ? outcome : "HRG " + hrg + ", " + outcome;
}

void AppendSteps(const Value& record, const std::string& indent, std::string* out) {
  const auto trace = record.FindMember("Trace");
  if (trace == record.MemberEnd() || !trace->value.IsArray()) {
    *out += indent + "(no trace)\n";
    return;
  }
  for (const Value& step : trace->value.GetArray()) {
    *out += indent + StepText(step) + "\n";
  }
}

void AddLabelled(std::string* details, const std::string& label, const std::string& text) {
  if (text.empty()) return;
  if (!details->empty()) *details += ", ";
  *details += label.empty() ? text : label + " " + text;
}

}  // namespace

std::string StepText(const Value& step) {
  std::string text = Text(step, "Component") + "." + Text(step, "Step");
  std::string details;
  std::string read = Text(step, "Item");
  const std::string index = Text(step, "Index");
  const std::string code = Text(step, "Code");
  if (!index.empty()) read += "[" + index + "]";
  if (!code.empty()) read += read.empty() ? "code " + code : "=" + code;
  AddLabelled(&details, "", read);
  AddLabelled(&details, "table", Text(step, "Table"));
  AddLabelled(&details, "line", Text(step, "Line"));
  AddLabelled(&details, "list", Text(step, "List"));
  AddLabelled(&details, "rule", Text(step, "Rule"));
  AddLabelled(&details, "HRG", Text(step, "HRG"));
  if (!details.empty()) text += " " + details;
  const std::string result = Text(step, "Result");
  if (!result.empty()) text += ": " + result;
  const std::string reason = Text(step, "Reason");
  if (!reason.empty()) text += " (" + reason + ")";
  return text;
}

std::string TraceText(const Value& response, const std::string& mode) {
  std::string out;
  if (!response.IsObject()) return out;
  out += "Spell " + Text(response, "Id") + " (" + mode + "): " + Outcome(response) + "\n";
  AppendSteps(response, "  ", &out);
  const auto episodes = response.FindMember("Episodes");
  if (episodes == response.MemberEnd() || !episodes->value.IsArray()) return out;
  for (const Value& episode : episodes->value.GetArray()) {
    if (!episode.IsObject()) continue;
    out += "  Episode " + Text(episode, "Id") + ": " + Outcome(episode) + "\n";
    AppendSteps(episode, "    ", &out);
  }
  return out;
}

std::string TraceJson(const Value& response) {
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  const auto write_record = [&writer](const Value& record) {
    writer.Key("Id");
    const std::string id = Text(record, "Id");
    writer.String(id.c_str(), static_cast<rapidjson::SizeType>(id.size()));
    const auto trace = record.FindMember("Trace");
    if (trace != record.MemberEnd()) {
      writer.Key("Trace");
      trace->value.Accept(writer);
    }
  };
  writer.StartObject();
  if (response.IsObject()) {
    write_record(response);
    const auto episodes = response.FindMember("Episodes");
    if (episodes != response.MemberEnd() && episodes->value.IsArray()) {
      writer.Key("Episodes");
      writer.StartArray();
      for (const Value& episode : episodes->value.GetArray()) {
        if (!episode.IsObject()) continue;
        writer.StartObject();
        write_record(episode);
        writer.EndObject();
      }
      writer.EndArray();
    }
  }
  writer.EndObject();
  return std::string(text.GetString(), text.GetSize()) + "\n";
}

}  // namespace zorvel::cli
