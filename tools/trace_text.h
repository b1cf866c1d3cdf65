// The steps of a traced response as zorvel explain prints them: readable
// text, one line per step under a heading for the spell and each episode,
// or the "Trace" members alone as one compact JSON line.
#pragma once

#include <string>

#include <rapidjson/document.h>

namespace zorvel::cli {

// One step: "Component.Step details: result (reason)", the details being
// the step's other members in their order ("Procedure[2]=W371, table
// Core1/OPCS, line 67, list ProcHier, rule R1, HRG HB12C").
std::string StepText(const rapidjson::Value& step);

// The spell's heading and steps, then each episode's, indented; ends with
// a line break. `mode` is the request's mode code.
std::string TraceText(const rapidjson::Value& response, const std::string& mode);

// {"Id":...,"Trace":[...],"Episodes":[{"Id":...,"Trace":[...]},...]}: the
// traces of the response, in one line with its line break.
std::string TraceJson(const rapidjson::Value& response);

}  // namespace zorvel::cli
