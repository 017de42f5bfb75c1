// Runs the built velvarin as a user would: in a directory, with given input.
#ifndef VELVARIN_TESTS_RUN_PROGRAM_H_
#define VELVARIN_TESTS_RUN_PROGRAM_H_

#include <string>
#include <vector>

struct ProgramRun {
  std::string output;  // everything written to standard output
  std::string errors;  // everything written to standard error
  int status = -1;     // exit status, or -1 when it did not exit normally
  bool timedOut = false;
};

// Runs velvarin in `dir` with `input` as its standard input (a file, so that
// the end of input is reached), collecting standard output. Kills it after
// `timeoutSeconds`.
ProgramRun runVelvarin(const std::string& dir, const std::string& input,
                       const std::vector<std::string>& args = {}, int timeoutSeconds = 60);

// What an operator types to add `count` bookings named `who`, numbered 1
// to count, and then to quit.
std::string manyBookings(const std::string& who, int count);

// Runs velvarin-admin with `args` in `dir`, with empty standard input.
ProgramRun runAdmin(const std::string& dir, const std::vector<std::string>& args,
                    int timeoutSeconds = 60);

#endif  // VELVARIN_TESTS_RUN_PROGRAM_H_
