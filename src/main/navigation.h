// What every menu operation needs, and how it hands control back.
#ifndef VELVARIN_MAIN_NAVIGATION_H_
#define VELVARIN_MAIN_NAVIGATION_H_

#include <string>

#include "console/console.h"

// Where the main menu goes on after an operation.
enum class navOutcome {
  toMenu,   // the menu again, without the welcome banner
  toStart,  // the welcome banner, then the menu
};

// The console an operation talks through and the ticket file it keeps.
struct Session {
  Console& console;
  std::string ticketFile = "ticket.txt";
};

#endif  // VELVARIN_MAIN_NAVIGATION_H_
