#include "booking/search.h"

#include <array>
#include <string_view>

#include "console/follow_up.h"
#include "tickets/record_scan.h"
#include "tickets/ticket_file.h"

namespace {

// The labels of a found record's fields, in file order.
constexpr std::array<std::string_view, 9> kLabels = {
    "\nRecord found.\n\nBooking number: ",
    "\nName: ",
    "Movie name: ",
    "Movie Schedule : ",
    "Time: ",
    "Number of Guests: ",
    "House Number: ",
    "Type: ",
    "Total fee: ",
};

// Shows every record of the file whose booking number is `target`.
void showMatches(Session& session, const std::string& target) {
  Console& console = session.console;
  uniqueFd fd = openTicketFile(session.ticketFile);
  if (!fd.isOpen()) {
    console.print("File not found!");
    return;
  }
  std::size_t lastField = kLabels.size();
  scanResult result =
      scanBookings(fd.get(), target, [&](std::size_t field, std::string_view piece) {
        if (field != lastField) console.print(kLabels[field]);
        lastField = field;
        console.print(piece);
      });
  if (result.failed) {
    console.print("File not found!");
  } else if (result.found == 0) {
    console.print("\nRecord not found!");
  }
}

}  // namespace

navOutcome findMov(Session& session) {
  Console& console = session.console;
  do {
    console.print("Enter booking number: ");
    showMatches(session, console.readWord());
  } while (askAnother(console, "\nFind another record (y/n)?") == anotherAnswer::again);
  return navOutcome::toStart;
}
