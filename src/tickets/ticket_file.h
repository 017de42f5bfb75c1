// The booking record and the ticket file that keeps bookings between runs.
#ifndef VELVARIN_TICKETS_TICKET_FILE_H_
#define VELVARIN_TICKETS_TICKET_FILE_H_

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tickets/unique_fd.h"

// The white space that ends a booking-number word: the C locale's isspace.
// Both ways of reading records back must agree on it.
inline bool isTicketSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

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

// The outcome of a change to the ticket file.
struct fileStatus {
  int error = 0;  // the errno that stopped the change; 0 once it is made
  [[nodiscard]] bool ok() const { return error == 0; }
};

// The points of the writers' protocol at which tests may act.
enum class writerStep {
  lockBusy,  // another writer holds the lock; this one starts to wait
  locked,    // the lock is held on the file that the path names
  written,   // the record's write has returned, whole or not
};

// The calls through which a writer changes the ticket file. Tests derive
// from it to make a call fail or come up short, or to act at a step.
class fileCalls {
 public:
  virtual ~fileCalls() = default;
  virtual ssize_t write(int fd, const void* data, std::size_t size);
  virtual int fsync(int fd);
  virtual void reached(writerStep step);
};

// How long a writer waits for another to release the lock, and the calls
// it makes (null: the system's own).
struct writerSetup {
  std::chrono::milliseconds lockWait{10000};
  fileCalls* calls = nullptr;
};

// appendRecord: adds `record` to the end of the file at `path`, creating it,
// under the writers' lock. Succeeds only once the whole record is on stable
// storage; on failure the file is left as it was.
fileStatus appendRecord(const movRecord& record, const std::string& path,
                        const writerSetup& setup = {});

// Writes the new content of the ticket file to `newFd`, reading the old one
// from `oldFd`; a status that is not ok leaves the file as it was.
using rewriter = std::function<fileStatus(int oldFd, int newFd)>;

// Replaces the content of the ticket file at `path` as a whole, under the
// writers' lock: readers see the old file or the new one, never a mix.
fileStatus rewriteTicketFile(const std::string& path, const rewriter& transform,
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

// Receives the fields of found records, in order, piece by piece: `field` is
// 0 for the booking number and 1 to 8 for the lines after it, each ending
// with a line break once all its pieces are in.
using fieldSink = std::function<void(std::size_t field, std::string_view piece)>;

struct scanResult {
  std::size_t found = 0;  // records whose booking number matched
  bool failed = false;    // reading the file failed part of the way
};

// scanBookings: reads the open ticket file `fd` to its end and hands every
// record whose booking-number word is `target` to `sink`, exactly as
// readRecord would read it, but streaming through a bounded buffer of
// `blockSize` bytes, many bytes at a time.
scanResult scanBookings(int fd, std::string_view target, const fieldSink& sink,
                        std::size_t blockSize = 1 << 20);

#endif  // VELVARIN_TICKETS_TICKET_FILE_H_
