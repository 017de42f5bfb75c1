#include "console/follow_up.h"

anotherAnswer askAnother(Console& console, std::string_view question) {
  for (;;) {
    console.print(question);
    // Only the first character counts; the rest of the word is dropped.
    std::string word = console.readWord(1);
    if (word == "y" || word == "n") {
      console.print("\n");
      return word == "y" ? anotherAnswer::again : anotherAnswer::back;
    }
    console.printLine("Please select (y) or (n)!");
  }
}
