#include "console/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "in_process.h"

namespace {

// Reads from `input` as `steps` say and returns what each read gave, joined
// by '|'. A step is n (number), w (word), l (line), d (discard the line), or
// w/l followed by a byte limit. A wrong number shows as '?', the end of input
// as <eof>, after which nothing more is read.
std::string readAll(const std::string& input, const std::vector<std::string>& steps) {
  MemoryConsole screen(input);
  Console& console = screen.console();
  std::string got;
  try {
    for (const std::string& step : steps) {
      std::size_t limit = step.size() > 1 ? std::stoul(step.substr(1)) : Console::kNoLimit;
      if (!got.empty()) got += '|';
      switch (step[0]) {
        case 'n': {
          auto n = console.readNumber();
          got += n ? std::to_string(*n) : "?";
          break;
        }
        case 'w':
          got += console.readWord(limit);
          break;
        case 'l':
          got += console.readLine(limit);
          break;
        case 'd':
          console.discardLine();
          got += "-";
          break;
      }
    }
  } catch (const SessionEnd& end) {
    EXPECT_EQ(end.status, 0);
    got += "<eof>";
  }
  // Only the end of input puts the cursor on a new line.
  EXPECT_EQ(screen.output(), got.ends_with("<eof>") ? "\n" : "") << "reading printed";
  return got;
}

struct ReadCase {
  const char* name;
  std::string input;
  std::vector<std::string> steps;
  std::string expected;
};

class ConsoleReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ConsoleReads, GiveTheAnswersTyped) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(readAll(c.input, c.steps), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConsoleReads,
    ::testing::Values(
        ReadCase{"PlainNumber", "42\n", {"n"}, "42"},
        ReadCase{"NumberAfterBlankLines", " \n\t\n  -17 rest\n", {"n", "l"}, "-17| rest"},
        ReadCase{"Signs", "+5 -0 +0\n", {"n", "n", "n"}, "5|0|0"},
        ReadCase{"LeadingZeros", "0042\n", {"n"}, "42"},
        ReadCase{"Int32Bounds", "2147483647 -2147483648\n", {"n", "n"}, "2147483647|-2147483648"},
        ReadCase{"PastInt32DropsTheLine", "2147483648 5\n7\n", {"n", "n"}, "?|7"},
        ReadCase{"NegativePastInt32", "-2147483649\n8\n", {"n", "n"}, "?|8"},
        ReadCase{"HugeNumber", std::string(5000, '9') + " 1\n2\n", {"n", "n"}, "?|2"},
        ReadCase{"NotANumberDropsTheLine", "abc 5\n6\n", {"n", "n"}, "?|6"},
        ReadCase{"SignWithoutDigits", "- 5\n+\n6\n", {"n", "n", "n"}, "?|?|6"},
        ReadCase{"NumberStopsAtNonDigit", "12abc\n3\n", {"n", "n", "n"}, "12|?|3"},
        ReadCase{"TypeAheadOnOneLine", "6 2 1\n", {"n", "n", "n"}, "6|2|1"},
        ReadCase{"NoInputAtAll", "", {"n"}, "<eof>"},
        ReadCase{"OnlyWhiteSpace", "  \n\t\n", {"n"}, "<eof>"},
        ReadCase{"NumberCutByEndOfInput", "5", {"n", "n"}, "5|<eof>"},
        ReadCase{"WrongNumberAtEndOfInput", "-", {"n", "n"}, "?|<eof>"},
        ReadCase{
            "Words", "  hello   world\nnext\n", {"w", "w", "w", "w"}, "hello|world|next|<eof>"},
        ReadCase{"WordLeavesRestOfLine", "Adult 500\n", {"w", "n"}, "Adult|500"},
        ReadCase{"Lines", "a b \n\nlast", {"l", "l", "l", "l"}, "a b ||last|<eof>"},
        ReadCase{"LineAfterNumberNeedsDiscard",
                 "42 junk\nBob Smith\n",
                 {"n", "d", "l"},
                 "42|-|Bob Smith"},
        ReadCase{"DiscardAtEndOfInput", "42", {"n", "d", "l"}, "42|-|<eof>"},
        ReadCase{"LineCutToLimit", "abcdefgh\nnext\n", {"l5", "l5"}, "abcde|next"},
        ReadCase{"WordCutToLimitDropsRestOfWord", "abcdefgh 12\n", {"w3", "n"}, "abc|12"},
        ReadCase{"CutNeverSplitsACharacter", "abcd\xC3\xA9z\n", {"l5"}, "abcd"},
        ReadCase{"CutKeepsAWholeCharacter", "abc\xC3\xA9z\n", {"l5"}, "abc\xC3\xA9"},
        ReadCase{"CutBeforeFourByteCharacter", "ab\xF0\x9F\x8E\xAC!\n", {"w4"}, "ab"},
        ReadCase{"LineOfOneMegabyte",
                 std::string(1 << 20, 'x') + "\nok\n",
                 {"l10", "l"},
                 "xxxxxxxxxx|ok"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FitCase {
  const char* name;
  std::string text;
  std::size_t limit;
  std::size_t expected;
};

class FitUtf8 : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitUtf8, KeepsWholeCharactersOnly) {
  EXPECT_EQ(fitUtf8(GetParam().text, GetParam().limit), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, FitUtf8,
    ::testing::Values(FitCase{"Shorter", "short", 10, 5}, FitCase{"Exact", "exact", 5, 5},
                      FitCase{"Longer", "ascii-long", 5, 5},
                      FitCase{"InsideTwoByteCharacter", "ab\xC3\xA9", 3, 2},
                      FitCase{"InsideThreeByteCharacter", "a\xE2\x82\xAC", 3, 1},
                      FitCase{"AtThreeByteCharactersSecondByte", "a\xE2\x82\xAC", 2, 1},
                      FitCase{"OnABoundary", "\xC3\xA9\xC3\xA9", 2, 2},
                      FitCase{"StrayContinuationBytes", "abc\x80\x80\x80\x80", 4, 4},
                      FitCase{"Latin1NotUtf8", "ab\xE9z", 3, 3},
                      FitCase{"NothingFits", "\xC3\xA9", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleOutput, PrintsTextsAsIsAndLinesWithABreak) {
  MemoryConsole screen("");
  screen.console().print("a\t");
  screen.console().printLine("b");
  screen.console().printLine("");
  EXPECT_EQ(screen.output(), "a\tb\n\n");
}

}  // namespace
