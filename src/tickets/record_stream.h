// Every record of a ticket file with where it stands: its line number, its
// byte span and the exact text of each field, read as readRecord reads
// them, streaming through a bounded buffer many bytes at a time.
#ifndef VELVARIN_TICKETS_RECORD_STREAM_H_
#define VELVARIN_TICKETS_RECORD_STREAM_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

// The fields of a record, in file order.
enum class field { booking, customer, movie, date, time, guests, house, type, fee };
constexpr std::size_t kFields = 9;

// One record as it stands in the file. The views are valid until the next
// record is read.
struct rawRecord {
  std::uint64_t line = 0;   // 1-based line of the booking-number word
  std::uint64_t start = 0;  // offset of the start of that line
  std::uint64_t end = 0;    // offset just past the record's last line
  // The booking-number word, then lines 2 to 9, without line breaks; a line
  // that the end of the file cut off is empty.
  std::array<std::string_view, kFields> fields;
  std::string_view lead;  // white space before the word on its line
  std::string_view rest;  // the rest of the word's line after the word
  unsigned lines = 9;     // how many of the record's nine lines the file has
  bool ended = true;      // the last of those lines ends with a line break
  // The byte after the record, if the file has one: '\n' for an empty line.
  int next = -1;

  [[nodiscard]] std::string_view operator[](field f) const {
    return fields[static_cast<std::size_t>(f)];
  }
};

// Receives the bytes between records (white space only), in order and
// piece by piece, with the 1-based line number at which each piece begins.
using gapSink = std::function<void(std::string_view piece, std::uint64_t line)>;

class RecordStream {
 public:
  // Reads the open file `fd` from its current offset, `blockSize` bytes at
  // a time; the buffer grows only for a record longer than that.
  explicit RecordStream(int fd, std::size_t blockSize = std::size_t{1} << 20);
  ~RecordStream();
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  // Where the bytes between records go; none by default.
  void onGap(gapSink sink) { gaps_ = std::move(sink); }

  // The next record, or null at the end of the file or after a read error.
  const rawRecord* next();
  // True once reading the file has failed.
  [[nodiscard]] bool failed() const { return failed_; }
  // The number of bytes read, once next() has returned null.
  [[nodiscard]] std::uint64_t size() const { return base_ + size_; }

 private:
  // Makes room and reads more; false at the end of the file.
  bool refill();
  void gap(std::size_t from, std::size_t to);

  int fd_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buf_;
  std::size_t size_ = 0;                   // bytes in buf_
  std::size_t pos_ = 0;                    // where reading goes on in buf_
  std::uint64_t base_ = 0;     // the file offset of buf_[0]
  std::uint64_t line_ = 1;     // the line number at pos_
  bool eof_ = false;
  bool failed_ = false;
  gapSink gaps_;
  rawRecord record_;
};

#endif  // VELVARIN_TICKETS_RECORD_STREAM_H_
