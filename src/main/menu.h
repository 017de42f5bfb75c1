// The welcome banner and the main menu that leads to every operation.
#ifndef VELVARIN_MAIN_MENU_H_
#define VELVARIN_MAIN_MENU_H_

#include "booking/session.h"

// Runs the main menu until Quit, the end of input or a stop, and returns the
// process exit status.
int runMenu(Session& session);

#endif  // VELVARIN_MAIN_MENU_H_
