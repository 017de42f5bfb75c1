// runner: the benchmark's way to start programs without a shell in between.
//   runner peak COMMAND...      runs COMMAND, then prints its peak resident
//                               memory in KiB on standard error
//   runner repeat N COMMAND...  runs COMMAND N times, input and output
//                               /dev/null, one after the other
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int run(char** argv, bool quiet, long* peakKiB) {
  pid_t pid = fork();
  if (pid == 0) {
    if (quiet) {
      int null = open("/dev/null", O_RDWR);
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
    }
    execvp(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) return -1;
  if (peakKiB != nullptr) *peakKiB = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "peak") == 0) {
    long peak = 0;
    int status = run(argv + 2, false, &peak);
    std::fprintf(stderr, "%ld\n", peak);
    return status;
  }
  if (argc >= 4 && std::strcmp(argv[1], "repeat") == 0) {
    long times = std::strtol(argv[2], nullptr, 10);
    for (long i = 0; i < times; ++i) {
      if (run(argv + 3, true, nullptr) < 0) return 1;
    }
    return 0;
  }
  std::fprintf(stderr, "usage: runner peak COMMAND... | runner repeat N COMMAND...\n");
  return 2;
}
