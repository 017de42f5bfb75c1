#include "record_check.h"

#include <cstdint>

namespace {

// A plain decimal: optional minus, no leading zeros, no "-0".
bool parseDecimal(std::string_view s, std::int64_t& value) {
  bool negative = !s.empty() && s[0] == '-';
  std::string_view digits = negative ? s.substr(1) : s;
  if (digits.empty() || digits.size() > 10) return false;
  if (digits[0] == '0' && (digits.size() > 1 || negative)) return false;
  value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  return value >= INT32_MIN && value <= INT32_MAX;
}

bool inRange(std::string_view s, std::int64_t low, std::int64_t high) {
  std::int64_t v = 0;
  return parseDecimal(s, v) && v >= low && v <= high;
}

bool isText(std::string_view s, std::size_t most) {
  return s.size() <= most && s.find('\0') == std::string_view::npos;
}

// A word answer; empty when the word began with a zero byte, which ends a
// zero-terminated field.
bool isWord(std::string_view s, std::size_t most) {
  return isText(s, most) && s.find_first_of(" \t\v\f\r") == std::string_view::npos;
}

// Why the ten lines of one booking are not well formed, or "" when they are.
std::string fault(const std::vector<std::string_view>& l) {
  if (!inRange(l[0], 1, 9999)) return "booking number";
  if (!isText(l[1], 29)) return "customer name";
  if (!isText(l[2], 29)) return "movie name";
  if (!isText(l[3], 15)) return "schedule";
  if (!inRange(l[4], 1000, 2300)) return "time";
  if (!inRange(l[5], INT32_MIN, INT32_MAX)) return "guests";
  if (!inRange(l[6], INT32_MIN, INT32_MAX)) return "house number";
  if (!isWord(l[7], 31)) return "ticket type";
  if (!inRange(l[8], INT32_MIN, INT32_MAX)) return "total fee";
  if (!l[9].empty()) return "separator line";
  return "";
}

}  // namespace

RecordCheck checkRecords(std::string_view bytes) {
  RecordCheck check;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::vector<std::string_view> lines;
    std::size_t start = at;
    for (int i = 0; i < 10; ++i) {
      std::size_t end = bytes.find('\n', at);
      if (end == std::string_view::npos) {
        check.ok = false;
        check.why = "booking " + std::to_string(check.records.size() + 1) + " is cut short";
        return check;
      }
      lines.push_back(bytes.substr(at, end - at));
      at = end + 1;
    }
    if (std::string why = fault(lines); !why.empty()) {
      check.ok = false;
      check.why = "booking " + std::to_string(check.records.size() + 1) + ": bad " + why;
      return check;
    }
    check.records.emplace_back(bytes.substr(start, at - start));
  }
  return check;
}
