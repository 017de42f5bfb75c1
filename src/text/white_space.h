// The white space that separates words, both in typed answers and in the
// ticket file: the C locale's isspace, whatever the user's locale.
#ifndef VELVARIN_TEXT_WHITE_SPACE_H_
#define VELVARIN_TEXT_WHITE_SPACE_H_

// True for space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool isWhiteSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

#if defined(__x86_64__)
#include <emmintrin.h>

// Bit i is set where at[i] is white space, for i below 16.
inline unsigned whiteSpaceMask16(const char* at) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  // '\t' to '\r' are the bytes that stay put when taken down to '\t' + 4.
  const __m128i past = _mm_sub_epi8(bytes, _mm_set1_epi8('\t'));
  const __m128i space = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                                     _mm_cmpeq_epi8(_mm_min_epu8(past, _mm_set1_epi8(4)), past));
  return static_cast<unsigned>(_mm_movemask_epi8(space));
}
#endif

#endif  // VELVARIN_TEXT_WHITE_SPACE_H_
