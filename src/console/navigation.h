// How a dialogue hands control back to the main menu.
#ifndef VELVARIN_CONSOLE_NAVIGATION_H_
#define VELVARIN_CONSOLE_NAVIGATION_H_

// Where the main menu goes on after an operation.
enum class navOutcome {
  toMenu,   // the menu again, without the welcome banner
  toStart,  // the welcome banner, then the menu
};

#endif  // VELVARIN_CONSOLE_NAVIGATION_H_
