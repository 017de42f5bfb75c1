// gen_tickets: writes a ticket file of made-up bookings, the same for the
// same seed. Usage: gen_tickets RECORDS SEED > ticket.txt
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

const char* const kFirst[] = {"Ada",        "Bob",     "Grace", "Linus",   "Margaret",
                              "Dennis",     "Barbara", "Ken",   "Frances", "Edsger",
                              "Radia",      "Niklaus", "Søren", "Zoë",     "José",
                              "Małgorzata", "Björn",   "Ngozi", "Hiroshi", "Anaïs"};
const char* const kLast[] = {"Lovelace",  "Smith",  "Hopper",      "Torvalds", "Hamilton",
                             "Ritchie",   "Liskov", "Thompson",    "Allen",    "Dijkstra",
                             "Perlman",   "Wirth",  "Kierkegaard", "Núñez",    "Okafor",
                             "Østergård", "Yamada", "Brown"};
const char* const kMovies[] = {"The Equalizer",
                               "Mad Max: Fury Road",
                               "John Wick 3",
                               "Saving Private Ryan",
                               "Braveheart",
                               "Avengers:EndGame",
                               "Captain Marvel",
                               "IT",
                               "Get Out",
                               "The Witch",
                               "Inside Out",
                               "Zootopia",
                               "Finding Nemo",
                               "Amélie",
                               "Spider-Man:Far From Home"};
const char* const kTypes[] = {"Adult", "Child", "Student", "Senior", "VIP", "Family"};

template <typename T, std::size_t N>
const T& pick(std::mt19937_64& random, const T (&items)[N]) {
  return items[random() % N];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_tickets RECORDS SEED\n");
    return 2;
  }
  const unsigned long long records = std::strtoull(argv[1], nullptr, 10);
  std::mt19937_64 random(std::strtoull(argv[2], nullptr, 10));
  static char buffer[1 << 20];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  std::string name;
  for (unsigned long long i = 0; i < records; ++i) {
    name = std::string(pick(random, kFirst)) + " " + pick(random, kLast);
    name.resize(std::min<std::size_t>(name.size(), 29));
    int number = static_cast<int>(random() % 9999 + 1);
    int day = static_cast<int>(random() % 28 + 1);
    int month = static_cast<int>(random() % 12 + 1);
    int time = static_cast<int>(1000 + random() % 13 * 100 + random() % 4 * 15);
    const char* movie = pick(random, kMovies);
    int guests = static_cast<int>(random() % 6 + 1);
    int house = static_cast<int>(random() % 12 + 1);
    const char* type = pick(random, kTypes);
    int fee = static_cast<int>(random() % 90 * 5 + 50);
    std::printf("%d\n%s\n%s\n%02d-%02d-2026\n%d\n%d\n%d\n%s\n%d\n\n", number, name.c_str(), movie,
                day, month, time, guests, house, type, fee);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
