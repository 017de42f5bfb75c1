#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

ProgramRun runProgram(const char* binary, const std::string& dir, const std::string& input,
                      const std::vector<std::string>& args, int timeoutSeconds) {
  ProgramRun run;
  FILE* in = std::tmpfile();
  FILE* errors = std::tmpfile();
  if (in == nullptr || errors == nullptr) return run;
  std::fwrite(input.data(), 1, input.size(), in);
  std::fflush(in);
  int inFd = fileno(in);
  lseek(inFd, 0, SEEK_SET);
  int out[2];
  if (pipe(out) != 0) return run;

  pid_t child = fork();
  if (child == 0) {
    dup2(inFd, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(fileno(errors), STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    if (chdir(dir.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(binary)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary, argv.data());
    _exit(127);
  }
  close(out[1]);
  std::fclose(in);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  char block[65536];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{out[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
      run.timedOut = true;
      kill(child, SIGKILL);
      break;
    }
    ssize_t n = read(out[0], block, sizeof block);
    if (n <= 0) break;
    run.output.append(block, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  std::rewind(errors);
  for (int c = std::fgetc(errors); c != EOF; c = std::fgetc(errors)) {
    run.errors.push_back(static_cast<char>(c));
  }
  std::fclose(errors);
  return run;
}

}  // namespace

ProgramRun runVelvarin(const std::string& dir, const std::string& input,
                       const std::vector<std::string>& args, int timeoutSeconds) {
  return runProgram(VELVARIN_BINARY, dir, input, args, timeoutSeconds);
}

ProgramRun runAdmin(const std::string& dir, const std::vector<std::string>& args,
                    int timeoutSeconds) {
  return runProgram(ADMIN_BINARY, dir, "", args, timeoutSeconds);
}

std::string manyBookings(const std::string& who, int count) {
  std::string input = "1\n";
  for (int i = 1; i <= count; ++i) {
    input += std::to_string(i) + "\n" + who + "\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n150\n";
    input += i < count ? "y\n" : "n\n7\n";
  }
  return input;
}

OperatorsAtWork::OperatorsAtWork(const std::string& dir, int operators, int each)
    : runs_(static_cast<std::size_t>(operators)) {
  for (int i = 0; i < operators; ++i) {
    running_.emplace_back([this, dir, i, each] {
      runs_[static_cast<std::size_t>(i)] =
          runVelvarin(dir, manyBookings("operator " + std::to_string(i), each), {}, 600);
    });
  }
}

const std::vector<ProgramRun>& OperatorsAtWork::finish() {
  for (std::thread& t : running_) {
    if (t.joinable()) t.join();
  }
  return runs_;
}
