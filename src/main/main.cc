// velvarin: records cinema ticket bookings in ticket.txt. Arguments are
// ignored.
#include <unistd.h>

#include "main/menu.h"

int main() {
  Console console(STDIN_FILENO, STDOUT_FILENO);
  Session session{console};
  return runMenu(session);
}
