// velvarin: records cinema ticket bookings in ticket.txt. Arguments are
// ignored.
#include <unistd.h>

#include <csignal>
#include <string>

#include "main/menu.h"

int main() {
  // Past the file-size limit a write then fails (EFBIG) and the booking is
  // taken back, instead of the process dying in the middle of a record.
  std::signal(SIGXFSZ, SIG_IGN);
  Console console(STDIN_FILENO, STDOUT_FILENO);
  Session session{console};
  int status = runMenu(session);
  if (!console.error().empty()) {
    const std::string line = "velvarin: " + console.error() + "\n";
    // Nothing more can be told if standard error fails too.
    [[maybe_unused]] ssize_t written = write(STDERR_FILENO, line.data(), line.size());
  }
  return status;
}
