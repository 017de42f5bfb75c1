#include "booking/add_booking.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "console/follow_up.h"
#include "tickets/ticket_file.h"

namespace {

// Reads a number answer until it lies in [low, high], printing `retry`
// before each new attempt.
std::int32_t askInRange(Console& console, std::int32_t low, std::int32_t high,
                        std::string_view retry) {
  for (;;) {
    std::optional<std::int32_t> n = console.readNumber();
    if (n && *n >= low && *n <= high) return *n;
    console.print(retry);
  }
}

// Asks `question` until a number comes back; any number will do.
std::int32_t askNumber(Console& console, std::string_view question) {
  console.print(question);
  return askInRange(console, INT32_MIN, INT32_MAX, question);
}

// Stores an answer in a zero-terminated field, cut to fit (the console has
// already cut it without splitting a character).
template <std::size_t N>
void store(char (&field)[N], const std::string& answer) {
  std::size_t size = strnlen(answer.c_str(), std::min(answer.size(), N - 1));
  std::memcpy(field, answer.data(), size);
  field[size] = '\0';
}

}  // namespace

navOutcome addMov(Session& session) {
  Console& console = session.console;
  do {
    movRecord record{};
    console.print("Enter Movie Booking Number (XXXX): ");
    record.bookingNo = askInRange(
        console, 1, 9999, "Re-enter Movie Booking Number! It should be between 0001 to 9999!: ");
    console.print("Enter Name of Customer: ");
    // Whatever followed the booking number on its line is not the name.
    console.discardLine();
    store(record.customerName, console.readLine(sizeof record.customerName - 1));
    console.print("Enter Name of Movie: ");
    store(record.movieName, console.readLine(sizeof record.movieName - 1));
    console.print("Enter Movie Schedule (DD-MM-YYYY): ");
    store(record.schedule, console.readLine(sizeof record.schedule - 1));
    console.print("Enter Time (XXXX): ");
    record.time =
        askInRange(console, 1000, 2300,
                   "Re-enetr Time! It should be in 24-hour format and between 1000 to 2300!: ");
    record.guests = askNumber(console, "Enter Number of Guests: ");
    record.houseNo = askNumber(console, "Enter House Number: ");
    console.print("Enter Ticket Type: ");
    store(record.ticketType, console.readWord(sizeof record.ticketType - 1));
    record.totalFee = askNumber(console, "Enter Total Fee: ");
    console.print(appendRecord(record, session.ticketFile).ok() ? "Record insert sucessful!"
                                                                : "File not found!");
    console.print("\n");
  } while (askAnother(console, "Add another record (y/n)?") == anotherAnswer::again);
  return navOutcome::toStart;
}
