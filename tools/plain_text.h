#ifndef ZORVEL_TOOLS_PLAIN_TEXT_H_
#define ZORVEL_TOOLS_PLAIN_TEXT_H_

// Finding the end of a run of plain text: printable ASCII other than the
// quote and the backslash, the bytes a JSON string holds as they are.
// Sixteen bytes are looked at together where the processor has SSE2; the
// texts of answers are mostly a little shorter than that, so one look
// usually finds the end.

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel::cli {

inline constexpr std::array<bool, 256> kPlainTextByte = [] {
  std::array<bool, 256> plain{};
  for (int byte = 0x20; byte < 0x7f; ++byte) plain[byte] = byte != '"' && byte != '\\';
  return plain;
}();

#if defined(__SSE2__)
// A bit for each of the sixteen bytes at `p` that is not plain text.
inline unsigned NotPlainMask(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Bytes from 0x80 up are negative as signed bytes, so one comparison
  // finds them and the control bytes.
  const __m128i low_or_high = _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20));
  const __m128i special =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))),
                   _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7f)));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low_or_high, special)));
}
#endif

// The first byte in [p, end) that is not plain text, or end.
inline const char* PastPlainText(const char* p, const char* end) {
#if defined(__SSE2__)
  while (end - p >= 16) {
    const unsigned mask = NotPlainMask(p);
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  while (p != end && kPlainTextByte[static_cast<unsigned char>(*p)]) ++p;
  return p;
}

}  // namespace zorvel::cli

#endif  // ZORVEL_TOOLS_PLAIN_TEXT_H_
