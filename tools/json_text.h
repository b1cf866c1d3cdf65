// Writing JSON strings without a writer object: the host builds each request
// from cells of text, where a writer's per-character work and nesting checks
// cost more than the plug-in's own reading of the request.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorvel::cli {

// Appends `value` as a JSON string, byte for byte as RapidJSON's writer
// writes it: quotes, backslashes and control characters escaped ("\n",
// "\u001F", ...), every other byte (UTF-8 included) as it is.
void AppendJsonString(std::string* text, std::string_view value);

// The most bytes AppendJsonString or WriteJsonString writes for `size` bytes.
constexpr size_t JsonStringBound(size_t size) { return 2 + 6 * size; }

// Writes `value` as AppendJsonString does at `out`, which has room for
// JsonStringBound(value.size()) bytes, and returns the end of what it wrote.
char* WriteJsonString(char* out, std::string_view value);

}  // namespace zorvel::cli
