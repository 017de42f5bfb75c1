// Field texts as the tool shows them: numbers, UTF-8, JSON, CSV and the
// width a text takes on a terminal.
#ifndef VELVARIN_ADMIN_TEXT_H_
#define VELVARIN_ADMIN_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "admin/output.h"

// The value of `text` if it is the plain decimal form of a 32-bit integer:
// an optional minus sign, no plus sign, no leading zero ("-0" passes).
// Inline, as reports and checks ask it several times a booking.
inline std::optional<std::int32_t> plainInt32(std::string_view text) {
  const char* p = text.data();
  std::size_t n = text.size();
  const bool negative = n > 0 && *p == '-';
  p += negative ? 1 : 0;
  n -= negative ? 1 : 0;
  if (n == 0 || n > 10 || (*p == '0' && n > 1)) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < n; ++i) {
    auto digit = static_cast<unsigned>(static_cast<unsigned char>(p[i]) - '0');
    if (digit > 9) return std::nullopt;
    value = value * 10 + digit;
  }
  if (value > std::uint64_t{INT32_MAX} + (negative ? 1 : 0)) return std::nullopt;
  const auto magnitude = static_cast<std::int64_t>(value);
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(magnitude);
}

// The value of `text` if velvarin itself writes the number so: as
// plainInt32, but never "-0".
inline std::optional<std::int32_t> writtenInt32(std::string_view text) {
  return text == "-0" ? std::nullopt : plainInt32(text);
}

// The value of a number as a person types it: optional sign, decimal
// digits, leading zeros allowed, within 32 bits, nothing else.
std::optional<std::int32_t> typedInt32(std::string_view text);

// Whether `text` is well-formed UTF-8.
bool isUtf8(std::string_view text);

// Calls `each(codePoint, length)` for every character of `text`, with -1
// for each maximal run of bytes that is not well-formed UTF-8, as the
// Unicode standard recommends replacing them.
template <typename Each>
void forEachCharacter(std::string_view text, Each each);

// Writes `text` as a JSON string: UTF-8 as is, bytes that are not UTF-8 as
// U+FFFD, quotes, backslashes and control characters escaped.
void writeJsonString(Output& out, std::string_view text);
// Writes `text` as a JSON number if plainInt32 takes it, else as a string.
void writeJsonValue(Output& out, std::string_view text);
// Whether the lines of `text` can stand in CSV as they are: no comma,
// quote or CR (a line break between fields is not checked).
bool csvPlainLines(std::string_view text);
// Whether `text` holds no NUL and no CR and is well-formed UTF-8: nothing
// for a check of bytes to look at more closely.
bool cleanText(std::string_view text);

// Writes `text` as one CSV field, quoted only when it must be.
void writeCsvField(Output& out, std::string_view text);

// `text` as it can stand in a table on a terminal: control characters in
// caret notation (^M), bytes that are not UTF-8 as U+FFFD.
std::string printable(std::string_view text);
// The number of terminal columns that printable `text` takes.
std::size_t displayWidth(std::string_view text);

// --- template definition ---

namespace utf8detail {
// The length of the character at `p` (of `left` bytes, at least one) and
// its code point; for bytes that are not UTF-8, the length of their
// maximal run and -1.
std::size_t decode(const unsigned char* p, std::size_t left, std::int32_t& codePoint);
}  // namespace utf8detail

template <typename Each>
void forEachCharacter(std::string_view text, Each each) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t left = text.size();
  while (left > 0) {
    std::int32_t codePoint = 0;
    std::size_t length = utf8detail::decode(p, left, codePoint);
    each(codePoint, length);
    p += length;
    left -= length;
  }
}

#endif  // VELVARIN_ADMIN_TEXT_H_
