// The built velvarin as a child process at the other end of a pseudo-terminal
// or of two pipes, for tests that drive it as a person or a program would.
#ifndef VELVARIN_TESTS_CHILD_H_
#define VELVARIN_TESTS_CHILD_H_

#include <sys/types.h>

#include <functional>
#include <string>
#include <thread>

enum class Link { terminal, pipes };

class Child {
 public:
  // Starts velvarin in `dir`; `beforeExec` runs in the child just before.
  Child(const std::string& dir, Link link, const std::function<void()>& beforeExec = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Waits until `text` appears in the output after what was matched before.
  bool waitFor(const std::string& text, int timeoutMs = 10000);
  // Reads whatever output comes next; false at its end or after the timeout.
  bool readMore(int timeoutMs = 10000);
  void type(const std::string& keys);
  // Writes `input` from another thread, so that input and output can both
  // be large; then closes standard input if `thenClose`.
  void typeInBackground(std::string input, bool thenClose = true);
  // Output so far; waitFor forgets what it has passed once that grows large.
  const std::string& output() const { return output_; }

  // Closes this end of the screen, so that nobody reads what is printed.
  void closeOutput();

  void kill();
  // Waits for the end; returns the exit status, or -1 when it was killed.
  int wait();
  // The signal that ended the program, or 0; after wait().
  int endSignal() const { return signal_; }
  // Peak resident memory of the running program in KiB, or -1.
  long peakKiB() const;

 private:
  int out_ = -1;  // the screen; also the keyboard on a terminal
  int in_ = -1;   // the keyboard when driven through pipes
  pid_t pid_ = -1;
  int signal_ = 0;
  std::string output_;
  std::size_t seen_ = 0;
  std::thread writer_;
};

#endif  // VELVARIN_TESTS_CHILD_H_
