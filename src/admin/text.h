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
// an optional minus sign, no plus sign, no leading zero, no "-0".
std::optional<std::int32_t> plainInt32(std::string_view text);

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
