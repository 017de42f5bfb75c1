#include "catalogue/catalogue.h"

#include <array>
#include <string_view>

namespace {

struct genre {
  std::array<std::string_view, 3> titles;
  std::string_view backLine;
  std::string_view wrongAnswer;
};

// The genres differ in small ways on purpose: genre 1 has the short back
// line, genre 5 an empty line before its wrong-answer text.
constexpr std::array<genre, 5> kGenres = {{
    {{"\n1.The Equalizer", "2.Mad Max: Fury Road", "3.John Wick 3"},
     "\nBack to main menu (1)",
     "Please select (1) or (2)!"},
    {{"\n1.Saving Private Ryan", "2.Un long dimanche de fiancailles", "3.Braveheart"},
     "\nBack to main menu select (1)",
     "Please select (1) or (2)!"},
    {{"\n1.Avengers:EndGame", "2.Captain Marvel", "3.Spider-Man:Far From Home"},
     "\nBack to main menu select (1)",
     "Please select (1) or (2)!"},
    {{"\n1.IT", "2.Get Out", "3.The Witch"},
     "\nBack to main menu select (1)",
     "Please select (1) or (2)!"},
    {{"\n1.Inside Out", "2.Zootopia", "3.Finding Nemo"},
     "\nBack to main menu select (1)",
     "\nPlease select (1) or (2)!"},
}};

constexpr std::array<std::string_view, 7> kGenreMenu = {
    "\nChoose a type of movie:\n",
    "1.Action movie",
    "2.War movie",
    "3.Sci-fi movie",
    "4.Horror movie",
    "5.Animated movie",
    "6.Back to main menu",
};

constexpr int kBack = 6;

}  // namespace

navOutcome showmovie(Console& console) {
  for (;;) {
    for (std::string_view line : kGenreMenu) console.printLine(line);
    console.print("\nWhat is your option (1-6)? ");
    std::optional<std::int32_t> choice = console.readNumber();
    if (choice == kBack) return navOutcome::toStart;
    if (!choice || *choice < 1 || *choice > kBack) {
      console.print("Please select a correct number (1-6)!");
      continue;
    }
    const genre& shown = kGenres[static_cast<std::size_t>(*choice - 1)];
    for (std::string_view title : shown.titles) console.printLine(title);
    console.printLine(shown.backLine);
    console.printLine("Choose another type of movie select (2)");
    // After a wrong answer only its text is shown before the next answer.
    std::optional<std::int32_t> answer = console.readNumber();
    while (answer != 1 && answer != 2) {
      console.printLine(shown.wrongAnswer);
      answer = console.readNumber();
    }
    console.print("\n");
    if (answer == 1) return navOutcome::toStart;
  }
}
