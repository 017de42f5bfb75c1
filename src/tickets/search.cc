#include "tickets/search.h"

#include <array>
#include <string_view>

#include "console/follow_up.h"
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
  TicketReader reader(session.ticketFile);
  if (!reader.isOpen()) {
    console.print("File not found!");
    return;
  }
  bool found = false;
  while (std::optional<recordTexts> record = reader.readRecord()) {
    if ((*record)[0] != target) continue;
    found = true;
    for (std::size_t i = 0; i < kLabels.size(); ++i) {
      console.print(kLabels[i]);
      console.print((*record)[i]);
    }
  }
  if (reader.failed()) {
    console.print("File not found!");
  } else if (!found) {
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
