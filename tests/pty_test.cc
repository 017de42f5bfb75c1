// The program driven interactively, on a real terminal and through pipes:
// every prompt must be visible before the program waits for its answer, or
// these tests time out.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "scratch_dir.h"

namespace {

enum class Link { terminal, pipes };

void PrintTo(Link link, std::ostream* os) { *os << (link == Link::terminal ? "terminal" : "pipes"); }

// The program at the other end of a pseudo-terminal or of two pipes.
class Terminal {
 public:
  Terminal(const std::string& dir, Link link) {
    if (link == Link::terminal) {
      pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    } else {
      int in[2];
      int out[2];
      if (pipe(in) != 0 || pipe(out) != 0) return;
      pid_ = fork();
      if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
      } else {
        close(in[0]);
        close(out[1]);
        master_ = out[0];
        input_ = in[1];
      }
    }
    if (pid_ == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      execl(VELVARIN_BINARY, VELVARIN_BINARY, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    if (input_ >= 0) close(input_);
  }

  bool started() const { return pid_ > 0; }

  // Waits until `text` appears on the screen after what was matched before.
  bool waitFor(const std::string& text) {
    for (;;) {
      std::size_t at = screen_.find(text, seen_);
      if (at != std::string::npos) {
        seen_ = at + text.size();
        return true;
      }
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 10000) <= 0) return false;
      char block[4096];
      ssize_t n = read(master_, block, sizeof block);
      if (n <= 0) return false;
      screen_.append(block, static_cast<std::size_t>(n));
    }
  }

  void type(const std::string& keys) {
    ASSERT_EQ(write(input_ >= 0 ? input_ : master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  // The exit status once the program has ended by itself.
  int exitStatus() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& screen() const { return screen_; }

 private:
  int master_ = -1;  // the screen; also the keyboard on a terminal
  int input_ = -1;   // the keyboard when driven through pipes
  pid_t pid_ = -1;
  std::string screen_;
  std::size_t seen_ = 0;
};

class Interactive : public ScratchDirTest, public ::testing::WithParamInterface<Link> {};

TEST_P(Interactive, PromptsShowBeforeEachAnswerAndTheBookingIsStored) {
  Terminal terminal(dir_.string(), GetParam());
  ASSERT_TRUE(terminal.started());
  const std::vector<std::pair<std::string, std::string>> dialogue = {
      {"What is your option (1-7)? ", "1\n"},
      {"Enter Movie Booking Number (XXXX): ", "77\n"},
      {"Enter Name of Customer: ", "Ada Lovelace\n"},
      {"Enter Name of Movie: ", "Zootopia\n"},
      {"Enter Movie Schedule (DD-MM-YYYY): ", "24-12-2026\n"},
      {"Enter Time (XXXX): ", "1930\n"},
      {"Enter Number of Guests: ", "2\n"},
      {"Enter House Number: ", "3\n"},
      {"Enter Ticket Type: ", "Adult\n"},
      {"Enter Total Fee: ", "150\n"},
      {"Record insert sucessful!", ""},
      {"Add another record (y/n)?", "n\n"},
      {"What is your option (1-7)? ", "4\n"},
      {"Enter booking number: ", "77\n"},
      {"Name: Ada Lovelace", ""},
      {"Find another record (y/n)?", "n\n"},
      {"What is your option (1-7)? ", "7\n"},
      {"See you next time :)", ""},
  };
  for (const auto& [prompt, answer] : dialogue) {
    ASSERT_TRUE(terminal.waitFor(prompt)) << "never saw: " << prompt << "\nscreen:\n"
                                          << terminal.screen();
    terminal.type(answer);
  }
  EXPECT_EQ(terminal.exitStatus(), 0);
  EXPECT_EQ(readFile("ticket.txt"),
            "77\nAda Lovelace\nZootopia\n24-12-2026\n1930\n2\n3\nAdult\n150\n\n");
}

INSTANTIATE_TEST_SUITE_P(Links, Interactive, ::testing::Values(Link::terminal, Link::pipes),
                         [](const auto& info) {
                           return info.param == Link::terminal ? "Terminal" : "Pipes";
                         });

class PtyTest : public ScratchDirTest {};

TEST_F(PtyTest, EndOfInputKeyEndsTheSession) {
  Terminal terminal(dir_.string(), Link::terminal);
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor("What is your option (1-7)? "));
  terminal.type("6\n");
  ASSERT_TRUE(terminal.waitFor("What is your option (1-6)? "));
  terminal.type("\x04");
  EXPECT_EQ(terminal.exitStatus(), 0);
  EXPECT_FALSE(readFile("ticket.txt"));
}

}  // namespace
