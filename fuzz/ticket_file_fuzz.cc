// Arbitrary bytes as a hand-edited ticket file, searched and listed. The
// listing must copy every byte; the search must show exactly the bookings
// that a plain reading of the file finds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_dir.h"
#include "in_process.h"
#include "tickets/record_scan.h"
#include "tickets/ticket_file.h"

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// What the search shows before each field of a found record.
const char* const kLabels[] = {"\nRecord found.\n\nBooking number: ",
                               "\nName: ",
                               "Movie name: ",
                               "Movie Schedule : ",
                               "Time: ",
                               "Number of Guests: ",
                               "House Number: ",
                               "Type: ",
                               "Total fee: "};

// The search's screen output for `target`, read the simplest way: skip
// white space, take a word, drop the rest of its line, then eight lines.
std::string expectedSearch(std::string_view file, const std::string& target) {
  std::string shown;
  std::size_t at = 0;
  for (;;) {
    while (at < file.size() && isSpace(file[at])) ++at;
    if (at == file.size()) break;
    std::size_t wordEnd = at;
    while (wordEnd < file.size() && !isSpace(file[wordEnd])) ++wordEnd;
    std::string_view word = file.substr(at, wordEnd - at);
    std::size_t lineEnd = file.find('\n', wordEnd);
    at = lineEnd == std::string_view::npos ? file.size() : lineEnd + 1;
    std::string block = kLabels[0] + std::string(word);
    for (std::size_t field = 1; field <= 8; ++field) {
      std::size_t end = file.find('\n', at);
      std::size_t next = end == std::string_view::npos ? file.size() : end + 1;
      block += kLabels[field];
      block += file.substr(at, end == std::string_view::npos ? file.size() - at : end - at);
      block += '\n';
      at = next;
    }
    if (word == target) shown += block;
  }
  return shown.empty() ? "\nRecord not found!" : shown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  const std::string ticket = fuzzDir() + "/ticket.txt";
  writeBytes(ticket, file);
  // Search for the file's first word, so that matches are common.
  std::size_t start = 0;
  while (start < file.size() && isSpace(file[start])) ++start;
  std::size_t end = start;
  while (end < file.size() && !isSpace(file[end])) ++end;
  std::string target = end > start ? std::string(file.substr(start, end - start)) : "42";

  SessionRun run = runInProcess(ticket, "4\n" + target + "\nn\n2\n7\n");

  const std::string menu =
      "\n\n--<:Main Menu:>--\n\n 1. Add New Movie Ticketing Record(s)\n\n 2. Display All Movie "
      "Ticketing Records\n\n 3. Modify Movie Ticketing Record(s)\n\n 4. Search Movie Ticketing "
      "Record(s)\n\n 5. Delete Movie Ticketing Record(s)\n\n 6. All Movies\n\n 7. Quit\n\nWhat "
      "is your option (1-7)? ";
  const std::string start_ = "\n\t*** Welcome to Velvarin ***\n" + menu;
  const std::string expected = start_ + "Enter booking number: " + expectedSearch(file, target) +
                               "\nFind another record (y/n)?\n" + start_ + "\n" +
                               std::string(file) + menu + "See you next time :)";
  if (run.status != 0) broken("unexpected exit status");
  if (run.output != expected) broken("search or listing output differs");

  // Once more straight through the scanner, in small blocks, so that records
  // straddle block boundaries, and in two halves at once, wherever the
  // middle of the file falls.
  std::string shown;
  std::size_t last = 9;
  uniqueFd fd = openTicketFile(ticket);
  scanResult result = scanBookings(
      fd.get(), target,
      [&](std::size_t field, std::string_view piece) {
        if (field != last) shown += kLabels[field];
        last = field;
        shown += piece;
      },
      1 + size % 67, 0);
  if (result.found == 0) shown = "\nRecord not found!";
  if (result.failed || shown != expectedSearch(file, target))
    broken("scan in small blocks differs");
  return 0;
}
