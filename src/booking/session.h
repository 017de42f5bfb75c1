// What the booking dialogues work with: the operator's console and the
// ticket file.
#ifndef VELVARIN_BOOKING_SESSION_H_
#define VELVARIN_BOOKING_SESSION_H_

#include <string>

#include "console/console.h"
#include "console/navigation.h"

struct Session {
  Console& console;
  std::string ticketFile = "ticket.txt";
};

#endif  // VELVARIN_BOOKING_SESSION_H_
