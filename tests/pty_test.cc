// The program driven interactively, on a real terminal and through pipes:
// every prompt must be visible before the program waits for its answer, or
// these tests time out.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "child.h"
#include "scratch_dir.h"

void PrintTo(Link link, std::ostream* os) {
  *os << (link == Link::terminal ? "terminal" : "pipes");
}

namespace {

class Interactive : public ScratchDirTest, public ::testing::WithParamInterface<Link> {};

TEST_P(Interactive, PromptsShowBeforeEachAnswerAndTheBookingIsStored) {
  Child terminal(dir_.string(), GetParam());
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
                                          << terminal.output();
    terminal.type(answer);
  }
  EXPECT_EQ(terminal.wait(), 0);
  EXPECT_EQ(readFile("ticket.txt"),
            "77\nAda Lovelace\nZootopia\n24-12-2026\n1930\n2\n3\nAdult\n150\n\n");
}

INSTANTIATE_TEST_SUITE_P(Links, Interactive, ::testing::Values(Link::terminal, Link::pipes),
                         [](const auto& info) {
                           return info.param == Link::terminal ? "Terminal" : "Pipes";
                         });

class PtyTest : public ScratchDirTest {};

TEST_F(PtyTest, EndOfInputKeyEndsTheSession) {
  Child terminal(dir_.string(), Link::terminal);
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor("What is your option (1-7)? "));
  terminal.type("6\n");
  ASSERT_TRUE(terminal.waitFor("What is your option (1-6)? "));
  terminal.type("\x04");
  EXPECT_EQ(terminal.wait(), 0);
  EXPECT_FALSE(readFile("ticket.txt"));
}

}  // namespace
