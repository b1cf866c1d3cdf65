#ifndef ZORVEL_TOOLS_PLAIN_TEXT_H_
#define ZORVEL_TOOLS_PLAIN_TEXT_H_

// Finding, in the text of a JSON document, the bytes that a JSON string
// cannot hold as they are (control bytes, the backslash, DEL and above), and
// the quotes. In a document without the first kind, every string is its own
// characters and ends at the next quote. Sixteen bytes are looked at together
// where the processor has SSE2.

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel::cli {

inline constexpr std::array<bool, 256> kUnescapedByte = [] {
  std::array<bool, 256> plain{};
  for (int byte = 0x20; byte < 0x7f; ++byte) plain[byte] = byte != '\\';
  return plain;
}();

// The first byte in [p, end) that is not printable ASCII or is a backslash,
// or end.
inline const char* PastUnescapedBytes(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i del = _mm_set1_epi8(0x7f);
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Bytes from 0x80 up are negative as signed bytes, so one comparison
    // finds them and the control bytes.
    const __m128i found =
        _mm_or_si128(_mm_cmplt_epi8(bytes, space),
                     _mm_or_si128(_mm_cmpeq_epi8(bytes, backslash), _mm_cmpeq_epi8(bytes, del)));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(found));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  while (p != end && kUnescapedByte[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

// The first quote in [p, end), or end.
inline const char* NextQuote(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  while (p != end && *p != '"') ++p;
  return p;
}

}  // namespace zorvel::cli

#endif  // ZORVEL_TOOLS_PLAIN_TEXT_H_
