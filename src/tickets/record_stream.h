// Every record of a ticket file with where it stands: its line number, its
// byte span and the exact text of each field, read as readRecord reads
// them, streaming through a bounded buffer many bytes at a time.
#ifndef VELVARIN_TICKETS_RECORD_STREAM_H_
#define VELVARIN_TICKETS_RECORD_STREAM_H_

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

// The fields of a record, in file order.
enum class field { booking, customer, movie, date, time, guests, house, type, fee };
constexpr std::size_t kFields = 9;

// How many bytes from the start of any view of a record can be read, as
// many bytes at a time, even past the view's end; what lies past its end
// is not said.
constexpr std::size_t kReadPast = 32;

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
  // Reads the open file `fd` from offset `from` (where a record or the file
  // begins), `blockSize` bytes at a time; the buffer grows only for a
  // record longer than that. Line numbers count from `from`.
  explicit RecordStream(int fd, std::size_t blockSize = std::size_t{1} << 20,
                        std::uint64_t from = 0);
  ~RecordStream();
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  // Where the bytes between records go; none by default.
  void onGap(gapSink sink) { gaps_ = std::move(sink); }

  // The next record, or null at the end of the file or after a read error.
  const rawRecord* next();
  // True once reading the file has failed.
  [[nodiscard]] bool failed() const { return failed_; }
  // The file offset reached: the file's size, once next() has returned null.
  [[nodiscard]] std::uint64_t size() const { return base_ + size_; }
  // The line number that the next line read would have.
  [[nodiscard]] std::uint64_t line() const { return line_; }
  // Goes on from `offset` (where a record or the end of the file is),
  // which is line `line`, as if what lies before it had been read.
  void skipTo(std::uint64_t offset, std::uint64_t line);

 private:
  // Makes room and reads more; false at the end of the file.
  bool refill();
  void gap(std::size_t from, std::size_t to);

  int fd_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buf_;
  std::size_t size_ = 0;    // bytes in buf_
  std::size_t pos_ = 0;     // where reading goes on in buf_
  std::uint64_t base_;      // the file offset of buf_[0]
  std::uint64_t line_ = 1;  // the line number at pos_
  bool eof_ = false;
  bool failed_ = false;
  gapSink gaps_;
  rawRecord record_;
};

// Tells the reader of a second half to give up. The first reader writes
// its own state at every record, so the flag has a cache line to itself.
struct alignas(64) stopFlag {
  std::atomic<bool> raised{false};
};

// Where a record plainly begins at or after `from` in the regular file
// `fd`: the first line after an empty line within 64 KiB, or 0 if there is
// none. A guess, which the reader that reaches it confirms or refutes.
std::uint64_t likelyRecordStart(int fd, std::uint64_t from);
// likelyRecordStart near the middle of `fd`, if it is a regular file of at
// least `minimum` bytes; else 0.
std::uint64_t middleRecordStart(int fd, std::uint64_t minimum);

// Takes the records of one half of a file read in two halves at once. The
// two readers work on two cores at once: each keeps to cache lines of its
// own, or every record would pass a line back and forth between the cores.
class alignas(64) halfReader {
 public:
  virtual ~halfReader() = default;
  // A record of this half; false gives the half up.
  virtual bool record(const rawRecord& r) = 0;
  // The white space between records, as gapSink takes it.
  virtual void gap(std::string_view piece, std::uint64_t line) = 0;
  // For the reader of pieces ahead: a new piece begins, and what it kept of
  // one that was not taken is to be forgotten.
  virtual void begin() {}
  // For the reader of pieces ahead: what it read of its piece began at the
  // file's line `line` and is the file's, to be handed on now.
  virtual void taken(std::uint64_t line) { (void)line; }
};

struct halvesRead {
  // The file's line at which the second half (or the last piece taken)
  // began, or 0 when the first reader read the whole file and what the
  // second one saw is to be forgotten.
  std::uint64_t secondLine = 0;
  bool failed = false;  // reading the file failed
};

// Reads the records of the regular file `fd` through `first`; or, when the
// file has at least `minimum` bytes and a record plainly begins near its
// middle, the part before that record through `first` and the rest through
// `second` on a second thread at the same time. The second half's line
// numbers count from its own first line. Whether the second half began at
// a record is known only once the first reader reaches it; if it did not,
// the first reader reads on to the end.
halvesRead readInHalves(int fd, halfReader& first, halfReader& second,
                        std::uint64_t minimum = std::uint64_t{16} << 20);

// Reads the records of the regular file `fd` in file order, in pieces of
// about `piece` bytes: `first` reads on this thread while `second` reads
// the next piece on another. When `first` arrives where the piece began,
// what `second` has read of it so far is taken (second.taken(), on this
// thread) and `first` reads on after it; if no record began there, all of
// it is forgotten and `first` reads it itself. Line numbers of `second`
// count from its piece's first line.
halvesRead readInPieces(int fd, halfReader& first, halfReader& second, std::uint64_t piece);

#endif  // VELVARIN_TICKETS_RECORD_STREAM_H_
