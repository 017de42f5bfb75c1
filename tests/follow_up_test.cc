#include "console/follow_up.h"

#include <gtest/gtest.h>

#include "in_process.h"

namespace {

struct FollowUpCase {
  const char* name;
  std::string input;
  std::string expectedOutput;
  anotherAnswer expected;
};

class AskAnother : public ::testing::TestWithParam<FollowUpCase> {};

TEST_P(AskAnother, TakesOnlyTheFirstLowerCaseLetter) {
  const FollowUpCase& c = GetParam();
  MemoryConsole screen(c.input);
  EXPECT_EQ(askAnother(screen.console(), "Again?"), c.expected);
  EXPECT_EQ(screen.output(), c.expectedOutput);
}

const char kWrong[] = "Please select (y) or (n)!\n";

INSTANTIATE_TEST_SUITE_P(
    Answers, AskAnother,
    ::testing::Values(FollowUpCase{"Y", "y\n", "Again?\n", anotherAnswer::again},
                      FollowUpCase{"Yes", "yes\n", "Again?\n", anotherAnswer::again},
                      FollowUpCase{"N", "n\n", "Again?\n", anotherAnswer::back},
                      FollowUpCase{"No", "  no\n", "Again?\n", anotherAnswer::back},
                      FollowUpCase{"Nope", "nope", "Again?\n", anotherAnswer::back},
                      FollowUpCase{"UpperCaseIsRefused", "Y\nN\nn\n",
                                   std::string("Again?") + kWrong + "Again?" + kWrong + "Again?\n",
                                   anotherAnswer::back},
                      FollowUpCase{"OtherWordsAreRefused", "maybe\n\xC3\xBF\ny\n",
                                   std::string("Again?") + kWrong + "Again?" + kWrong + "Again?\n",
                                   anotherAnswer::again}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AskAnotherAtEndOfInput, EndsTheSessionInsteadOfAskingForEver) {
  MemoryConsole screen("maybe\n");
  try {
    askAnother(screen.console(), "Again?");
    ADD_FAILURE() << "the question came back without an answer";
  } catch (const SessionEnd& end) {
    EXPECT_EQ(end.status, 0);
  }
  EXPECT_EQ(screen.output(), std::string("Again?") + kWrong + "Again?\n");
}

}  // namespace
