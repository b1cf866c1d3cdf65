// Request texts of the group and explain commands.
#include "request_lines.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace zorvel::cli {

bool IsJson(const std::string& text) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(text.c_str());
  return !document.HasParseError();
}

bool IsWholeRequest(const std::string& text) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(text.c_str());
  return !document.HasParseError() && document.IsObject() &&
         document.HasMember("Group") && document.HasMember("Spell");
}

std::string WrapSpell(const std::string& mode, const std::string& line) {
  if (!IsJson(line)) return line;
  rapidjson::StringBuffer code;
  rapidjson::Writer<rapidjson::StringBuffer> writer(code);
  writer.String(mode.c_str(), static_cast<rapidjson::SizeType>(mode.size()));
  return std::string("{\"Group\":") + code.GetString() + ",\"Spell\":" + line +
         "}";
}

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string WithTrace(const std::string& request) {
  const size_t open = request.find_first_not_of(" \t\r\n");
  if (open == std::string::npos || request[open] != '{') return request;
  const size_t next = request.find_first_not_of(" \t\r\n", open + 1);
  // An empty object gets no comma.
  const bool empty = next != std::string::npos && request[next] == '}';
  return request.substr(0, open + 1) + (empty ? "\"Trace\":true" : "\"Trace\":true,") +
         request.substr(open + 1);
}

}  // namespace zorvel::cli
