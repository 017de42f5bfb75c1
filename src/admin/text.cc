#include "admin/text.h"

#include <array>
#include <limits>

#include "tickets/line_breaks.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace utf8detail {

std::size_t decode(const unsigned char* p, std::size_t left, std::int32_t& codePoint) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  std::int32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    codePoint = -1;
    return 1;
  }
  for (std::size_t i = 1; i < length; ++i) {
    unsigned char lo = i == 1 ? low : 0x80;
    unsigned char hi = i == 1 ? high : 0xBF;
    if (i >= left || p[i] < lo || p[i] > hi) {
      codePoint = -1;
      return i;
    }
    value = value << 6 | (p[i] & 0x3F);
  }
  codePoint = value;
  return length;
}

}  // namespace utf8detail

std::optional<std::int32_t> typedInt32(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

namespace {

// Bytes that a JSON string cannot hold as they are.
struct byteClass {
  bool json[256] = {};
  constexpr byteClass() {
    for (int c = 0; c < 0x20; ++c) json[c] = true;
    for (int c = 0x80; c < 0x100; ++c) json[c] = true;
    json[static_cast<unsigned char>('"')] = json[static_cast<unsigned char>('\\')] = true;
  }
};
constexpr byteClass kSpecial;

}  // namespace

void writeJsonString(Output& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out << '"';
  // Runs of plain ASCII go out whole; the rest a character at a time.
  while (!text.empty()) {
    std::size_t plain = 0;
    while (plain < text.size() && !kSpecial.json[static_cast<unsigned char>(text[plain])]) ++plain;
    out << text.substr(0, plain);
    text.remove_prefix(plain);
    if (text.empty()) break;
    std::int32_t codePoint = 0;
    std::size_t length = utf8detail::decode(reinterpret_cast<const unsigned char*>(text.data()),
                                            text.size(), codePoint);
    switch (codePoint) {
      case -1:
        out << "\xEF\xBF\xBD";
        break;
      case '"':
        out << "\\\"";
        break;
      case '\\':
        out << "\\\\";
        break;
      case '\b':
        out << "\\b";
        break;
      case '\f':
        out << "\\f";
        break;
      case '\n':
        out << "\\n";
        break;
      case '\r':
        out << "\\r";
        break;
      case '\t':
        out << "\\t";
        break;
      default:
        if (codePoint < 0x20) {
          out << "\\u00" << kHex[codePoint >> 4] << kHex[codePoint & 15];
        } else {
          out << text.substr(0, length);
        }
    }
    text.remove_prefix(length);
  }
  out << '"';
}

void writeJsonValue(Output& out, std::string_view text) {
  if (plainInt32(text)) {
    out << text;
  } else {
    writeJsonString(out, text);
  }
}

namespace {

#if defined(__x86_64__)
// Whether any of the `n` bytes at `p`, at least 32, is `a`, `b` or `c`, or,
// when `high` asks it, not ASCII. Told 32 bytes at a time without a branch,
// as records and lines mostly hold none.
__attribute__((target("avx2"))) bool anyOfAvx2(const char* p, std::size_t n, char a, char b, char c,
                                               bool high) {
  const __m256i first = _mm256_set1_epi8(a);
  const __m256i second = _mm256_set1_epi8(b);
  const __m256i third = _mm256_set1_epi8(c);
  const __m256i top = _mm256_set1_epi8(high ? '\x80' : 0);
  __m256i hits = _mm256_setzero_si256();  // the top bit of a byte marks a hit
  for (std::size_t i = 0;; i += 32) {
    // The last load may take in bytes seen before.
    const char* at = i + 32 <= n ? p + i : p + n - 32;
    __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    hits = _mm256_or_si256(hits, _mm256_and_si256(bytes, top));
    hits = _mm256_or_si256(hits, _mm256_cmpeq_epi8(bytes, first));
    hits = _mm256_or_si256(hits, _mm256_cmpeq_epi8(bytes, second));
    hits = _mm256_or_si256(hits, _mm256_cmpeq_epi8(bytes, third));
    if (i + 32 >= n) break;
  }
  return _mm256_movemask_epi8(hits) != 0;
}
#endif

#if defined(__x86_64__)
// wellFormed for 32 bytes or more, 32 at a time: only the characters from
// 0x80 up are decoded, one by one.
__attribute__((target("avx2,bmi"))) bool wellFormedAvx2(const unsigned char* text, std::size_t n,
                                                        bool clean) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i cr = _mm256_set1_epi8('\r');
  for (std::size_t next = 0; next < n;) {
    // The last 32 bytes may take in bytes seen before, which passed.
    const std::size_t at = next + 32 <= n ? next : n - 32;
    const unsigned seen = ~0U << (next - at);
    __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + at));
    __m256i stops = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, zero), _mm256_cmpeq_epi8(bytes, cr));
    if (clean && (static_cast<unsigned>(_mm256_movemask_epi8(stops)) & seen) != 0) return false;
    unsigned high = static_cast<unsigned>(_mm256_movemask_epi8(bytes)) & seen;
    next = at + 32;
    while (high != 0) {
      const std::size_t from = at + static_cast<std::size_t>(__builtin_ctz(high));
      std::int32_t codePoint = 0;
      const std::size_t to = from + utf8detail::decode(text + from, n - from, codePoint);
      if (codePoint < 0) return false;
      // A character that runs on past these 32 bytes: they go on after it.
      if (to >= at + 32) {
        next = to;
        break;
      }
      high &= ~0U << (to - at);
    }
  }
  return true;
}
#endif

// Whether `text` is well-formed UTF-8 and, when `clean` asks it, holds no
// NUL and no CR.
bool wellFormed(std::string_view text, bool clean) {
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = begin;
  const auto* end = begin + text.size();
#if defined(__x86_64__)
  if (text.size() >= 32 && haveAvx2()) return wellFormedAvx2(begin, text.size(), clean);
#endif
  while (p < end) {
#if defined(__x86_64__)
    if (end - begin >= 16) {
      // Sixteen bytes at a time; the last block may take in bytes seen
      // before, which passed already.
      const unsigned char* at = end - p >= 16 ? p : end - 16;
      __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      __m128i stop = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()),
                                  _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')));
      if (clean && _mm_movemask_epi8(stop) != 0) return false;
      // The bytes from 0x80 up, from p on, need decoding.
      auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes)) >> (p - at) << (p - at);
      if (high == 0) {
        p = at + 16;
        continue;
      }
      p = at + __builtin_ctz(high);
    }
#endif
    if (clean && (*p == 0 || *p == '\r')) return false;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    std::int32_t codePoint = 0;
    p += utf8detail::decode(p, static_cast<std::size_t>(end - p), codePoint);
    if (codePoint < 0) return false;
  }
  return true;
}

}  // namespace

bool csvPlainLines(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
#if defined(__x86_64__)
  // This runs over every byte of a CSV export.
  if (text.size() >= 32 && haveAvx2()) return !anyOfAvx2(p, text.size(), ',', '"', '\r', false);
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; end - p >= 16; p += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, quote)),
                     _mm_cmpeq_epi8(bytes, cr));
    if (_mm_movemask_epi8(hit) != 0) return false;
  }
#endif
  for (; p < end; ++p) {
    if (*p == ',' || *p == '"' || *p == '\r') return false;
  }
  return true;
}

bool isUtf8(std::string_view text) { return wellFormed(text, false); }

bool cleanText(std::string_view text) { return wellFormed(text, true); }

void writeCsvField(Output& out, std::string_view text) {
  if (csvPlainLines(text) && text.find('\n') == std::string_view::npos) {
    out << text;
    return;
  }
  out << '"';
  for (std::size_t from = 0;;) {
    std::size_t quote = text.find('"', from);
    out << text.substr(from, quote == std::string_view::npos ? quote : quote + 1 - from);
    if (quote == std::string_view::npos) break;
    out << '"';
    from = quote + 1;
  }
  out << '"';
}

namespace {

struct range {
  std::int32_t first;
  std::int32_t last;
};

// Characters that take no column of their own: combining marks and the
// zero-width format characters most often met.
constexpr std::array<range, 14> kZeroWidth = {{{0x0300, 0x036F},
                                               {0x0483, 0x0489},
                                               {0x0591, 0x05BD},
                                               {0x0610, 0x061A},
                                               {0x064B, 0x065F},
                                               {0x0E31, 0x0E3A},
                                               {0x1AB0, 0x1AFF},
                                               {0x1DC0, 0x1DFF},
                                               {0x200B, 0x200F},
                                               {0x202A, 0x202E},
                                               {0x2060, 0x2064},
                                               {0x20D0, 0x20FF},
                                               {0xFE00, 0xFE0F},
                                               {0xFE20, 0xFE2F}}};

// Characters that take two columns: East Asian wide and fullwidth forms,
// and emoji.
constexpr std::array<range, 13> kWide = {{{0x1100, 0x115F},
                                          {0x2329, 0x232A},
                                          {0x2E80, 0x303E},
                                          {0x3040, 0xA4CF},
                                          {0xAC00, 0xD7A3},
                                          {0xF900, 0xFAFF},
                                          {0xFE10, 0xFE19},
                                          {0xFE30, 0xFE6F},
                                          {0xFF00, 0xFF60},
                                          {0xFFE0, 0xFFE6},
                                          {0x1F300, 0x1F64F},
                                          {0x1F900, 0x1F9FF},
                                          {0x20000, 0x3FFFD}}};

template <std::size_t N>
bool within(const std::array<range, N>& ranges, std::int32_t codePoint) {
  for (const range& r : ranges) {
    if (codePoint >= r.first && codePoint <= r.last) return true;
  }
  return false;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string shown;
  std::size_t at = 0;
  forEachCharacter(text, [&](std::int32_t codePoint, std::size_t length) {
    if (codePoint < 0) {
      shown += "\xEF\xBF\xBD";
    } else if (codePoint < 0x20 || codePoint == 0x7F) {
      shown += '^';
      shown += static_cast<char>(codePoint ^ 0x40);
    } else {
      shown += text.substr(at, length);
    }
    at += length;
  });
  return shown;
}

std::size_t displayWidth(std::string_view text) {
  std::size_t width = 0;
  forEachCharacter(text, [&](std::int32_t codePoint, std::size_t) {
    if (codePoint < 0) {
      ++width;
    } else if (!within(kZeroWidth, codePoint)) {
      width += within(kWide, codePoint) ? 2 : 1;
    }
  });
  return width;
}
