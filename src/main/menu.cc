#include "main/menu.h"

#include <array>
#include <string_view>

#include "booking/add_booking.h"
#include "booking/listing.h"
#include "booking/search.h"
#include "catalogue/catalogue.h"

namespace {

navOutcome modMov(Session&) { return navOutcome::toMenu; }
navOutcome delMov(Session&) { return navOutcome::toMenu; }
navOutcome allMovies(Session& session) { return showmovie(session.console); }

using operation = navOutcome (*)(Session&);

struct menuEntry {
  std::string_view line;
  operation run;  // null for Quit
};

// Choice n is entry n - 1.
constexpr std::array<menuEntry, 7> kMenu = {{
    {"\n 1. Add New Movie Ticketing Record(s)", addMov},
    {"\n 2. Display All Movie Ticketing Records", dispMov},
    {"\n 3. Modify Movie Ticketing Record(s)", modMov},
    {"\n 4. Search Movie Ticketing Record(s)", findMov},
    {"\n 5. Delete Movie Ticketing Record(s)", delMov},
    {"\n 6. All Movies", allMovies},
    {"\n 7. Quit", nullptr},
}};

// Shows the menu and returns the operation chosen; null means Quit.
operation chooseOperation(Console& console) {
  for (;;) {
    console.printLine("\n\n--<:Main Menu:>--");
    for (const menuEntry& entry : kMenu) console.printLine(entry.line);
    console.print("\nWhat is your option (1-7)? ");
    std::optional<std::int32_t> choice = console.readNumber();
    if (choice && *choice >= 1 && *choice <= static_cast<std::int32_t>(kMenu.size())) {
      return kMenu[static_cast<std::size_t>(*choice - 1)].run;
    }
    console.print("Please select a correct number (1-7)!");
  }
}

// Runs the menu until Quit.
void menuLoop(Session& session) {
  Console& console = session.console;
  // A loop, not recursion: any number of trips leaves the stack as it was.
  for (;;) {
    console.printLine("\n\t*** Welcome to Velvarin ***");
    navOutcome next = navOutcome::toMenu;
    while (next == navOutcome::toMenu) {
      operation chosen = chooseOperation(console);
      if (chosen == nullptr) {
        console.print("See you next time :)");
        return;
      }
      next = chosen(session);
    }
  }
}

}  // namespace

int runMenu(Session& session) {
  int status = 0;
  try {
    menuLoop(session);
  } catch (const SessionEnd& end) {
    status = end.status;
  }
  // What is still buffered goes out now; a session whose output failed
  // failed as a whole.
  return session.console.finish() ? status : 1;
}
