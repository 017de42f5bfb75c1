#include "tickets/listing.h"

#include <unistd.h>

#include "tickets/ticket_file.h"

navOutcome dispMov(Session& session) {
  Console& console = session.console;
  console.print("\n");
  int fd = openTicketFile(session.ticketFile);
  bool copied = false;
  if (fd >= 0) {
    try {
      copied = console.copyFile(fd);
    } catch (...) {
      close(fd);
      throw;
    }
    close(fd);
  }
  if (!copied) {
    console.print("File not found!");
    throw SessionEnd{1};
  }
  return navOutcome::toMenu;
}
