// Bookings written out in the tool's three formats.
#ifndef VELVARIN_ADMIN_BOOKINGS_H_
#define VELVARIN_ADMIN_BOOKINGS_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "admin/commands.h"
#include "admin/table.h"

using bookingFields = std::array<std::string_view, kFields>;

// A booking kept past the reading of its record.
struct keptBooking {
  std::uint64_t line = 0;
  std::array<std::string, kFields> fields;

  explicit keptBooking(const rawRecord& r);
  [[nodiscard]] bookingFields view() const;
};

// Writes bookings as a table, CSV or JSON Lines. A table must see every
// booking through measure() before the first write().
class BookingWriter {
 public:
  BookingWriter(Output& out, format how);
  void measure(std::uint64_t line, const bookingFields& fields);
  // The CSV header or the table's; nothing for JSON.
  void header();
  void write(std::uint64_t line, const bookingFields& fields);

 private:
  Output& out_;
  format how_;
  Table table_;
};

#endif  // VELVARIN_ADMIN_BOOKINGS_H_
