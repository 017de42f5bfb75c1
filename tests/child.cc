#include "child.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string>

Child::Child(const std::string& dir, Link link, const std::function<void()>& beforeExec) {
  // A test that closes its end early must see EPIPE, not die of SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  int in[2] = {-1, -1};
  int out[2] = {-1, -1};
  if (link == Link::terminal) {
    pid_ = forkpty(&out_, nullptr, nullptr, nullptr);
  } else {
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
  }
  if (pid_ == 0) {
    if (link == Link::pipes) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    }
    signal(SIGPIPE, SIG_DFL);
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (beforeExec) beforeExec();
    execl(VELVARIN_BINARY, VELVARIN_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  if (link == Link::pipes) {
    close(in[0]);
    close(out[1]);
    out_ = out[0];
    in_ = in[1];
  }
}

Child::~Child() {
  if (pid_ > 0) {
    kill();
    wait();
  }
  if (writer_.joinable()) writer_.join();
  if (out_ >= 0) close(out_);
  if (in_ >= 0) close(in_);
}

bool Child::readMore(int timeoutMs) {
  pollfd p{out_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return false;
  char block[65536];
  ssize_t n = read(out_, block, sizeof block);
  if (n <= 0) return false;
  output_.append(block, static_cast<std::size_t>(n));
  return true;
}

bool Child::waitFor(const std::string& text, int timeoutMs) {
  for (;;) {
    std::size_t at = output_.find(text, seen_);
    if (at != std::string::npos) {
      seen_ = at + text.size();
      return true;
    }
    // Search only new output next time, and keep long sessions small.
    if (output_.size() >= text.size()) seen_ = std::max(seen_, output_.size() - text.size() + 1);
    if (seen_ > (1 << 20)) {
      output_.erase(0, seen_);
      seen_ = 0;
    }
    if (!readMore(timeoutMs)) return false;
  }
}

void Child::type(const std::string& keys) {
  int fd = in_ >= 0 ? in_ : out_;
  std::size_t done = 0;
  while (done < keys.size()) {
    ssize_t n = write(fd, keys.data() + done, keys.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void Child::typeInBackground(std::string input, bool thenClose) {
  writer_ = std::thread([this, input = std::move(input), thenClose] {
    type(input);
    if (thenClose && in_ >= 0) {
      close(in_);
      in_ = -1;
    }
  });
}

void Child::closeOutput() {
  if (out_ >= 0) close(out_);
  out_ = -1;
}

void Child::kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

int Child::wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long Child::peakKiB() const {
  // The high-water mark of this program's own memory; the resource usage
  // that wait4 reports would also count the test process it was forked from.
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return -1;
}
