#include "admin/table.h"

#include <algorithm>

#include "admin/text.h"

namespace {

constexpr std::string_view kGap = "  ";

bool plainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::size_t widthOf(std::string_view text) {
  return plainAscii(text) ? text.size() : displayWidth(printable(text));
}

}  // namespace

Table::Table(std::vector<column> columns) : columns_(std::move(columns)) {
  for (const column& c : columns_) widths_.push_back(c.header.size());
}

void Table::measure(const std::vector<std::string_view>& cells) {
  for (std::size_t i = 0; i < cells.size() && i < widths_.size(); ++i) {
    widths_[i] = std::max(widths_[i], widthOf(cells[i]));
  }
}

void Table::printHeader(Output& out) const {
  std::vector<std::string_view> headers;
  for (const column& c : columns_) headers.emplace_back(c.header);
  print(out, headers);
}

void Table::print(Output& out, const std::vector<std::string_view>& cells,
                  std::string_view after) const {
  // Trailing padding is left out, so the last column's width is not needed.
  std::string pending;
  for (std::size_t i = 0; i < cells.size() && i < widths_.size(); ++i) {
    std::string shown = plainAscii(cells[i]) ? std::string(cells[i]) : printable(cells[i]);
    std::string pad(widths_[i] - std::min(widths_[i], displayWidth(shown)), ' ');
    if (i > 0) pending += kGap;
    if (columns_[i].right) {
      out << pending << pad << shown;
      pending.clear();
    } else {
      out << pending << shown;
      pending = pad;
    }
  }
  if (!after.empty()) out << pending << kGap << after;
  out << '\n';
}

std::size_t Table::width() const {
  std::size_t total = 0;
  for (std::size_t w : widths_) total += w;
  return total + kGap.size() * (widths_.empty() ? 0 : widths_.size() - 1);
}
