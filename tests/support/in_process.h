// Runs consoles and whole sessions inside the test process, on files in
// memory, through the same descriptors, buffers and system calls that users
// run.
#ifndef VELVARIN_TESTS_SUPPORT_IN_PROCESS_H_
#define VELVARIN_TESTS_SUPPORT_IN_PROCESS_H_

#include <string>
#include <string_view>

#include "console/console.h"
#include "tickets/unique_fd.h"

// A file in memory that holds `bytes`, open for reading and writing at its
// start.
uniqueFd memoryFile(std::string_view bytes = {});

// The whole content of the file `fd`, from its start.
std::string contentOf(int fd);

// A console that reads `input` from a file in memory and prints into
// another.
class MemoryConsole {
 public:
  explicit MemoryConsole(std::string_view input);
  Console& console() { return console_; }
  // Everything printed so far.
  std::string output();

 private:
  uniqueFd in_;
  uniqueFd out_;
  Console console_;
};

struct SessionRun {
  std::string output;
  int status = -1;
  std::string error;  // the console's failure, as the program reports it
};

// The session that `input` drives, keeping its bookings at `ticketPath`.
SessionRun runInProcess(const std::string& ticketPath, std::string_view input);

#endif  // VELVARIN_TESTS_SUPPORT_IN_PROCESS_H_
