// The commands of velvarin-admin, each over the ticket-file core. Each
// returns the exit status: 0 done; 1 nothing matched, several matched where
// one was needed, or problems found; 2 a value or the file was wrong.
#ifndef VELVARIN_ADMIN_COMMANDS_H_
#define VELVARIN_ADMIN_COMMANDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admin/output.h"
#include "tickets/record_stream.h"
#include "tickets/unique_fd.h"
#include "tickets/writers.h"

enum class format { table, csv, json };

// The file a command works on and where it writes.
struct adminRun {
  std::string file;
  Output& out;
  Output& err;
  writerSetup writer;  // for cancel and amend

  // Writes "velvarin-admin: `message`" as a line on standard error.
  void say(std::string_view message) const;
  // Says "FILE: what failed" for the errno `error`; returns 2.
  [[nodiscard]] int fileError(int error) const;
  // Opens the ticket file for reading, or says why it cannot.
  [[nodiscard]] uniqueFd openForReading() const;
  // The status once output is written: 2, with a message, if it failed.
  [[nodiscard]] int finish(int status) const;
};

// The field names as the command line and the machine formats use them.
extern const char* const kFieldNames[kFields];
std::optional<field> fieldNamed(std::string_view name);

// list and find: every booking, or those whose number is one of `numbers`.
int listBookings(const adminRun& run, format how, const std::vector<std::string>& numbers);

// Which of several bookings with one number a change is for.
struct pick {
  std::optional<std::uint64_t> line;  // the one whose number stands on this line
  bool all = false;                   // every one (cancel only)
};

int cancelBooking(const adminRun& run, const std::string& number, pick which, bool dryRun,
                  format how);
int amendBooking(const adminRun& run, const std::string& number, pick which,
                 const std::vector<std::string>& changes, format how);

int checkFile(const adminRun& run, bool duplicates);

// A show date as a day count, for DD-MM-YYYY naming a real calendar day.
std::optional<std::int64_t> dayNumber(std::string_view date);

struct reportOptions {
  field by = field::movie;
  std::optional<std::int64_t> from;  // day numbers, inclusive
  std::optional<std::int64_t> to;
  format how = format::table;
  std::size_t barColumns = 0;  // the terminal's width when bars are drawn; 0 for none
};
int reportTakings(const adminRun& run, const reportOptions& options);

#endif  // VELVARIN_ADMIN_COMMANDS_H_
