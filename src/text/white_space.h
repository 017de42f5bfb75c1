// The white space that separates words, both in typed answers and in the
// ticket file: the C locale's isspace, whatever the user's locale.
#ifndef VELVARIN_TEXT_WHITE_SPACE_H_
#define VELVARIN_TEXT_WHITE_SPACE_H_

// True for space, tab, line feed, vertical tab, form feed and carriage return.
constexpr bool isWhiteSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

#endif  // VELVARIN_TEXT_WHITE_SPACE_H_
