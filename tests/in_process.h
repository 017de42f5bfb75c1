// Runs a whole session inside the test process, on an in-memory console.
#ifndef VELVARIN_TESTS_IN_PROCESS_H_
#define VELVARIN_TESTS_IN_PROCESS_H_

#include <string>
#include <string_view>

#include "main/menu.h"

struct SessionRun {
  std::string output;
  int status;
};

// The session that `input` drives, keeping its bookings at `ticketPath`.
inline SessionRun runInProcess(const std::string& ticketPath, std::string_view input) {
  SessionRun run;
  Console console(input, run.output);
  Session session{console, ticketPath};
  run.status = runMenu(session);
  return run;
}

#endif  // VELVARIN_TESTS_IN_PROCESS_H_
