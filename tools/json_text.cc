#include "json_text.h"

#include <array>
#include <cstddef>

namespace zorvel::cli {
namespace {

// The letter after the backslash for each byte that is escaped, 0 for the
// bytes written as they are.
constexpr std::array<char, 256> kEscapes = [] {
  std::array<char, 256> escapes{};
  for (int c = 0; c < 0x20; ++c) escapes[c] = 'u';
  escapes['\b'] = 'b';
  escapes['\t'] = 't';
  escapes['\n'] = 'n';
  escapes['\f'] = 'f';
  escapes['\r'] = 'r';
  escapes['"'] = '"';
  escapes['\\'] = '\\';
  return escapes;
}();

}  // namespace

char* WriteJsonString(char* out, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  *out++ = '"';
  for (const char byte : value) {
    const unsigned char c = static_cast<unsigned char>(byte);
    const char escape = kEscapes[c];
    if (escape == 0) {
      *out++ = byte;
      continue;
    }
    *out++ = '\\';
    *out++ = escape;
    if (escape == 'u') {
      *out++ = '0';
      *out++ = '0';
      *out++ = kHex[c >> 4];
      *out++ = kHex[c & 15];
    }
  }
  *out++ = '"';
  return out;
}

void AppendJsonString(std::string* text, std::string_view value) {
  const size_t start = text->size();
  text->resize(start + JsonStringBound(value.size()));
  char* const begin = text->data();
  text->resize(static_cast<size_t>(WriteJsonString(begin + start, value) - begin));
}

}  // namespace zorvel::cli
