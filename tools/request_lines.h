// The request texts of zorvel group and zorvel explain: a JSON Lines line as
// a request, a bare spell wrapped for --mode, and the "Trace" member that
// --trace and explain add.
#pragma once

#include <string>

namespace zorvel::cli {

// Whether `text` is valid JSON.
bool IsJson(const std::string& text);

// Whether `text` is a JSON object with both "Group" and "Spell": a whole
// request, which --mode would wrap a second time.
bool IsWholeRequest(const std::string& text);

// {"Group":CODE,"Spell":LINE}, with the code escaped as a JSON string. A
// line that is not JSON itself is passed unwrapped, so that the wrapping can
// never turn it into a request.
std::string WrapSpell(const std::string& mode, const std::string& line);

// Whether the line holds nothing but white space.
bool IsBlank(const std::string& line);

// `request` with "Trace":true as its first member, so that it wins over any
// "Trace" member of its own (the first of a repeated name counts). A text
// that does not begin with an object is returned as it is.
std::string WithTrace(const std::string& request);

}  // namespace zorvel::cli
