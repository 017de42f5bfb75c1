// Finding line breaks 64 bytes at a time, for the readers that skip or index
// the lines of large ticket files.
#ifndef VELVARIN_TICKETS_LINE_BREAKS_H_
#define VELVARIN_TICKETS_LINE_BREAKS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>

// Bit i is set where at[i] is a line break, for i below 64.
inline std::uint64_t lineBreaksSse2(const char* at) {
  const __m128i lineBreak = _mm_set1_epi8('\n');
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + std::ptrdiff_t{16} * i));
    auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineBreak)));
    mask |= std::uint64_t{bits} << (16 * i);
  }
  return mask;
}

__attribute__((target("avx2"))) inline std::uint64_t lineBreaksAvx2(const char* at) {
  const __m256i lineBreak = _mm256_set1_epi8('\n');
  __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
  auto lowBits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lineBreak)));
  auto highBits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lineBreak)));
  return std::uint64_t{lowBits} | std::uint64_t{highBits} << 32;
}

#endif

// The widest instructions that the readers of large files use: AVX2 where
// the processor runs it. VELVARIN_SIMD=sse2 or =portable in the environment
// asks for a narrower way, so that each can be tested on any machine.
enum class simdLevel { portable, sse2, avx2 };

inline simdLevel chosenSimd() {
  static const simdLevel level = [] {
#if defined(__x86_64__)
    const simdLevel best = __builtin_cpu_supports("avx2") ? simdLevel::avx2 : simdLevel::sse2;
#else
    const simdLevel best = simdLevel::portable;
#endif
    const char* asked = std::getenv("VELVARIN_SIMD");
    if (asked == nullptr) return best;
    if (std::strcmp(asked, "portable") == 0) return simdLevel::portable;
    if (std::strcmp(asked, "sse2") == 0) return std::min(best, simdLevel::sse2);
    return best;
  }();
  return level;
}

inline bool haveAvx2() { return chosenSimd() == simdLevel::avx2; }

#endif  // VELVARIN_TICKETS_LINE_BREAKS_H_
