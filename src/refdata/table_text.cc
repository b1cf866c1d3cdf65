// The clean-text test of the table tools.
#include "refdata/table_text.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/word_load.h"

namespace zorvel {
namespace {

// The length of the valid UTF-8 sequence starting at text[i], or 0 when none
// starts there (a stray continuation byte, an overlong form, a surrogate, a
// code point above U+10FFFF or a sequence cut off by the end). Reads nothing
// past the end of `text`.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  const uint8_t second = byte(i + 1);
  if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
  if (lead == 0xED && second >= 0xA0) return 0;  // surrogate
  if (lead == 0xF0 && second < 0x90) return 0;  // overlong
  if (lead == 0xF4 && second >= 0x90) return 0;  // above U+10FFFF
  return length;
}

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowSeven = 0x7F7F7F7F7F7F7F7Full;

// The high bit of every byte of `word` that is zero, and no other bit.
uint64_t ZeroBytes(uint64_t word) {
  return ~(((word & kLowSeven) + kLowSeven) | word | kLowSeven);
}

// `byte` in each of the eight bytes of a word.
constexpr uint64_t Repeated(char byte) {
  return 0x0101010101010101ull * static_cast<uint8_t>(byte);
}

}  // namespace

std::optional<TextFault> FindTextFault(std::string_view csv) {
  int line = 1;
  bool in_quotes = false;
  int quote_line = 0;  // the line on which the open quote was opened
  for (size_t i = 0; i < csv.size();) {
    // Sixteen bytes at a time (with SSE2), then eight, while none of them is
    // a NUL, a quote or outside ASCII: such bytes need nothing but counting
    // the line feeds among them.
#if defined(__SSE2__)
    while (i + 16 <= csv.size()) {
      const __m128i block =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(csv.data() + i));
      const __m128i stops =
          _mm_or_si128(_mm_cmpeq_epi8(block, _mm_setzero_si128()),
                       _mm_cmpeq_epi8(block, _mm_set1_epi8('"')));
      // A byte outside ASCII has its high bit set, which movemask takes.
      if ((_mm_movemask_epi8(block) | _mm_movemask_epi8(stops)) != 0) break;
      for (unsigned feeds = static_cast<unsigned>(_mm_movemask_epi8(
               _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'))));
           feeds != 0; feeds &= feeds - 1) {
        ++line;
      }
      i += 16;
    }
#endif
    while (i + 8 <= csv.size()) {
      const auto chunk = LoadWord<uint64_t>(csv.data() + i);
      if ((chunk & kHighBits) != 0 || ZeroBytes(chunk) != 0 ||
          ZeroBytes(chunk ^ Repeated('"')) != 0) {
        break;
      }
      // Mostly none or one: clearing them one by one is quicker than a count.
      for (uint64_t feeds = ZeroBytes(chunk ^ Repeated('\n')); feeds != 0;
           feeds &= feeds - 1) {
        ++line;
      }
      i += 8;
    }
    if (i == csv.size()) break;
    const char c = csv[i];
    if (c == '\0') return TextFault{line, "holds a NUL byte"};
    const size_t length = Utf8Length(csv, i);
    if (length == 0) return TextFault{line, "is not valid UTF-8"};
    if (c == '"') {
      in_quotes = !in_quotes;
      quote_line = line;
    }
    if (c == '\n') ++line;
    i += length;
  }
  if (in_quotes) return TextFault{quote_line, "opens a quote that is never closed"};
  if (!csv.empty() && csv.back() != '\n')
    return TextFault{line, "ends without a line feed"};
  return std::nullopt;
}

}  // namespace zorvel
