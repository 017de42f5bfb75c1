// The booking record and the ticket file that keeps bookings between runs.
#ifndef VELVARIN_TICKETS_TICKET_FILE_H_
#define VELVARIN_TICKETS_TICKET_FILE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tickets/unique_fd.h"
#include "tickets/writers.h"

// One booking. Text fields are zero-terminated and hold the bytes as typed.
struct movRecord {
  std::int32_t bookingNo;
  char customerName[30];
  char movieName[30];
  char schedule[16];
  std::int32_t time;
  char ticketType[32];
  std::int32_t guests;
  std::int32_t houseNo;
  std::int32_t totalFee;
};

// A record read back, in file order: the booking-number word without its
// line break, then the eight lines after it, each ending with a line break.
using recordTexts = std::array<std::string, 9>;

// The record's ten lines as they stand in the ticket file.
std::string formatRecord(const movRecord& record);

// appendRecord: adds `record` to the end of the file at `path`, creating it,
// under the writers' lock. Succeeds only once the whole record is on stable
// storage; on failure the file is left as it was.
fileStatus appendRecord(const movRecord& record, const std::string& path,
                        const writerSetup& setup = {});

// Opens the ticket file at `path` for reading; not open when it is missing
// or is not a readable regular file.
uniqueFd openTicketFile(const std::string& path);

// Reads records back from a ticket file, one after the other.
class TicketReader {
 public:
  // Opens `path`; check isOpen() before reading.
  explicit TicketReader(const std::string& path);

  // False if the file is missing or is not a readable regular file.
  [[nodiscard]] bool isOpen() const { return fd_.isOpen(); }
  // True once reading the file has failed; no further records come then.
  [[nodiscard]] bool failed() const { return failed_; }

  // readRecord: the next record, or nullopt at the end of the records. A
  // record cut short by the end of the file gets empty lines for the rest.
  std::optional<recordTexts> readRecord();

 private:
  int peek();
  bool refill();
  // Appends the rest of the current line, through its line break if any,
  // to `out` (or drops it when `out` is null); false at the end of the file.
  bool takeLine(std::string* out);

  uniqueFd fd_;
  bool failed_ = false;
  bool ended_ = false;
  std::string buf_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
};

#endif  // VELVARIN_TICKETS_TICKET_FILE_H_
