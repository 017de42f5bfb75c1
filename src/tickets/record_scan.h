// The search's fast way through the ticket file: records whose booking
// number matches, read exactly as readRecord reads them.
#ifndef VELVARIN_TICKETS_RECORD_SCAN_H_
#define VELVARIN_TICKETS_RECORD_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

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
// `blockSize` bytes, many bytes at a time. A regular file of at least
// `minimum` bytes is read in two halves at once, on two threads; `sink` is
// called on this thread only, in file order.
scanResult scanBookings(int fd, std::string_view target, const fieldSink& sink,
                        std::size_t blockSize = 1 << 20,
                        std::uint64_t minimum = std::uint64_t{16} << 20);

#endif  // VELVARIN_TICKETS_RECORD_SCAN_H_
