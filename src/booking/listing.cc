#include "booking/listing.h"

#include "tickets/ticket_file.h"

navOutcome dispMov(Session& session) {
  Console& console = session.console;
  console.print("\n");
  uniqueFd fd = openTicketFile(session.ticketFile);
  if (!fd.isOpen() || !console.copyFile(fd.get())) {
    console.print("File not found!");
    throw SessionEnd{1};
  }
  return navOutcome::toMenu;
}
