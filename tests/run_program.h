// Runs the built velvarin as a user would: in a directory, with given input.
#ifndef VELVARIN_TESTS_RUN_PROGRAM_H_
#define VELVARIN_TESTS_RUN_PROGRAM_H_

#include <string>
#include <thread>
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

// Operators adding `each` bookings apiece (manyBookings), all at once, each
// a velvarin of its own in `dir`, named "operator 0", "operator 1", ...
class OperatorsAtWork {
 public:
  OperatorsAtWork(const std::string& dir, int operators, int each);
  ~OperatorsAtWork() { finish(); }
  OperatorsAtWork(const OperatorsAtWork&) = delete;
  OperatorsAtWork& operator=(const OperatorsAtWork&) = delete;

  // Waits for every operator; their runs, in operator order.
  const std::vector<ProgramRun>& finish();

 private:
  std::vector<ProgramRun> runs_;
  std::vector<std::thread> running_;
};

// Runs velvarin-admin with `args` in `dir`, with empty standard input.
ProgramRun runAdmin(const std::string& dir, const std::vector<std::string>& args,
                    int timeoutSeconds = 60);

#endif  // VELVARIN_TESTS_RUN_PROGRAM_H_
