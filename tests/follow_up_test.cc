#include "console/follow_up.h"

#include <gtest/gtest.h>

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
  std::string out;
  Console console(c.input, out);
  EXPECT_EQ(askAnother(console, "Again?"), c.expected);
  EXPECT_EQ(out, c.expectedOutput);
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

TEST(AskAnotherAtEndOfInput, StopsInsteadOfAskingForEver) {
  std::string out;
  Console console("maybe\n", out);
  EXPECT_THROW(askAnother(console, "Again?"), EndOfInput);
  EXPECT_EQ(out, std::string("Again?") + kWrong + "Again?");
}

}  // namespace
