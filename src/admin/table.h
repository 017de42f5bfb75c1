// Columns aligned by the width their texts take on a terminal: every row is
// measured first, then printed.
#ifndef VELVARIN_ADMIN_TABLE_H_
#define VELVARIN_ADMIN_TABLE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "admin/output.h"

class Table {
 public:
  struct column {
    std::string header;
    bool right = false;  // numbers stand flush right
  };
  explicit Table(std::vector<column> columns);

  // Widens the columns to hold `cells`.
  void measure(const std::vector<std::string_view>& cells);
  void printHeader(Output& out) const;
  // Prints `cells` as a line, then `after` (a bar, say) if any.
  void print(Output& out, const std::vector<std::string_view>& cells,
             std::string_view after = {}) const;
  // The width of a printed line, without what comes after.
  [[nodiscard]] std::size_t width() const;

 private:
  std::vector<column> columns_;
  std::vector<std::size_t> widths_;
};

#endif  // VELVARIN_ADMIN_TABLE_H_
