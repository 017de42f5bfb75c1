// The record stream keeps one block of the file and finds each record's nine
// line breaks 64 bytes at a time: a record mostly lies within one block.
#include "tickets/record_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "text/white_space.h"
#include "tickets/line_breaks.h"

namespace {

// Each finder stores the offsets of the first `want` line breaks in
// [from, size) of `bytes` in `out`, and returns how many it found.
using finder = unsigned (*)(const char* bytes, std::size_t from, std::size_t size, unsigned want,
                            std::size_t* out);

unsigned findPortable(const char* bytes, std::size_t from, std::size_t size, unsigned want,
                      std::size_t* out) {
  unsigned found = 0;
  const char* p = bytes + from;
  const char* end = bytes + size;
  while (found < want) {
    const auto* lineBreak =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (lineBreak == nullptr) break;
    out[found++] = static_cast<std::size_t>(lineBreak - bytes);
    p = lineBreak + 1;
  }
  return found;
}

#if defined(__x86_64__)
// A record's line breaks mostly lie within one or two blocks of 64 bytes.
template <typename Mask>
inline unsigned findBlocks(const char* bytes, std::size_t from, std::size_t size, unsigned want,
                           std::size_t* out, Mask mask64) {
  unsigned found = 0;
  for (; size - from >= 64; from += 64) {
    for (std::uint64_t mask = mask64(bytes + from); mask != 0; mask &= mask - 1) {
      out[found++] = from + static_cast<std::size_t>(__builtin_ctzll(mask));
      if (found == want) return found;
    }
  }
  return found + findPortable(bytes, from, size, want - found, out + found);
}

unsigned findSse2(const char* bytes, std::size_t from, std::size_t size, unsigned want,
                  std::size_t* out) {
  return findBlocks(bytes, from, size, want, out, lineBreaksSse2);
}

// Flattened, so that the mask is made inline and not called for.
__attribute__((target("avx2,bmi"), flatten)) unsigned findAvx2(const char* bytes, std::size_t from,
                                                               std::size_t size, unsigned want,
                                                               std::size_t* out) {
  return findBlocks(
      bytes, from, size, want, out,
      [](const char* at) __attribute__((target("avx2"))) { return lineBreaksAvx2(at); });
}
#endif

// How many of the bytes at `at` come before the first white space, as far
// as can be told at a glance: a booking number's length, at once and
// without a branch; else a count to go on from. Reads 16 bytes.
inline std::size_t shortWord(const char* at) {
#if defined(__x86_64__)
  return static_cast<std::size_t>(__builtin_ctz(whiteSpaceMask16(at) | 1U << 16));
#else
  (void)at;
  return 0;
#endif
}

finder bestFinder() {
  switch (chosenSimd()) {
#if defined(__x86_64__)
    case simdLevel::avx2:
      return findAvx2;
    case simdLevel::sse2:
      return findSse2;
#endif
    default:
      return findPortable;
  }
}

}  // namespace

namespace {

// The size of `fd` if it is a regular file.
std::optional<std::uint64_t> regularSize(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

// A small file needs no large buffer; one that grows while it is read
// makes the buffer grow with it.
std::size_t bufferFor(int fd, std::size_t blockSize) {
  std::size_t size = blockSize;
  if (std::optional<std::uint64_t> file = regularSize(fd)) {
    size = std::min<std::uint64_t>(size, std::max<std::uint64_t>(*file, 4096));
  }
  return std::max<std::size_t>(size, 1);
}

}  // namespace

RecordStream::RecordStream(int fd, std::size_t blockSize, std::uint64_t from)
    : fd_(fd),
      capacity_(bufferFor(fd, blockSize)),
      buf_(new char[capacity_ + kReadPast]()),
      base_(from) {}

RecordStream::~RecordStream() = default;

void RecordStream::skipTo(std::uint64_t offset, std::uint64_t line) {
  base_ = offset;
  size_ = pos_ = 0;
  line_ = line;
  eof_ = failed_;
}

bool RecordStream::refill() {
  if (eof_) return false;
  if (pos_ > 0) {
    // What is read already goes; the record in progress moves to the front.
    std::memmove(buf_.get(), buf_.get() + pos_, size_ - pos_);
    base_ += pos_;
    size_ -= pos_;
    pos_ = 0;
  }
  if (size_ == capacity_) {
    // One record fills the whole buffer: only then does it grow.
    std::unique_ptr<char[]> grown(new char[capacity_ * 2 + kReadPast]());
    std::memcpy(grown.get(), buf_.get(), size_);
    buf_ = std::move(grown);
    capacity_ *= 2;
  }
  for (;;) {
    ssize_t n =
        pread(fd_, buf_.get() + size_, capacity_ - size_, static_cast<off_t>(base_ + size_));
    if (n > 0) {
      size_ += static_cast<std::size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    failed_ = n < 0;
    eof_ = true;
    return false;
  }
}

void RecordStream::gap(std::size_t from, std::size_t to) {
  if (gaps_ && to > from) gaps_(std::string_view(buf_.get() + from, to - from), line_);
}

const rawRecord* RecordStream::next() {
  for (;;) {
    const char* bytes = buf_.get();
    // Blank lines and white space before the word; whole lines are gaps,
    // the white space on the word's own line belongs to its record.
    std::size_t p = pos_;
    while (p < size_ && isWhiteSpace(bytes[p])) {
      if (bytes[p] == '\n') {
        gap(pos_, p + 1);
        pos_ = p + 1;
        ++line_;
      }
      ++p;
    }
    // A refill may move the bytes, so reading starts over after one.
    if (p == size_ && !eof_) {
      refill();
      continue;
    }
    if (p == size_) {
      gap(pos_, size_);
      pos_ = size_;
      return nullptr;
    }
    // The record needs its nine line breaks and the byte after it, unless
    // the file ends first.
    static const finder find = bestFinder();
    std::size_t lineBreaks[9];
    const unsigned take = find(bytes, p, size_, 9, lineBreaks);
    if ((take < 9 || lineBreaks[8] + 1 == size_) && !eof_) {
      refill();
      continue;
    }

    rawRecord& r = record_;
    r.line = line_;
    r.start = base_ + pos_;
    r.lead = std::string_view(bytes + pos_, p - pos_);
    std::size_t lineEnd = take > 0 ? lineBreaks[0] : size_;
    std::size_t word = p + shortWord(bytes + p);
    if (word > lineEnd) word = lineEnd;
    while (word < lineEnd && !isWhiteSpace(bytes[word])) ++word;
    r.fields[0] = std::string_view(bytes + p, word - p);
    r.rest = std::string_view(bytes + word, lineEnd - word);
    // Line k + 1 of the record runs from after the k-th line break.
    if (take == 9) {
      for (unsigned k = 1; k < kFields; ++k) {
        r.fields[k] =
            std::string_view(bytes + lineBreaks[k - 1] + 1, lineBreaks[k] - lineBreaks[k - 1] - 1);
      }
      r.lines = 9;
      r.ended = true;
      r.end = base_ + lineBreaks[8] + 1;
      r.next =
          lineBreaks[8] + 1 < size_ ? static_cast<unsigned char>(bytes[lineBreaks[8] + 1]) : -1;
      pos_ = lineBreaks[8] + 1;
    } else {
      // Cut short by the end of the file: the lines it ends with, and one
      // more if bytes follow the last line break.
      std::size_t from = lineEnd + 1;
      for (unsigned k = 1; k < kFields; ++k) {
        if (k < take) {
          r.fields[k] = std::string_view(bytes + from, lineBreaks[k] - from);
          from = lineBreaks[k] + 1;
        } else if (k == take && from < size_) {
          r.fields[k] = std::string_view(bytes + from, size_ - from);
          from = size_;
        } else {
          r.fields[k] = {};
        }
      }
      bool tail = take > 0 && lineBreaks[take - 1] + 1 < size_;
      r.lines = take == 0 ? 1 : take + (tail ? 1 : 0);
      r.ended = take > 0 && !tail;
      r.end = base_ + size_;
      r.next = -1;
      pos_ = size_;
    }
    line_ += take;
    return &r;
  }
}

std::uint64_t likelyRecordStart(int fd, std::uint64_t from) {
  char window[1 << 16];
  ssize_t n = pread(fd, window, sizeof window, static_cast<off_t>(from));
  for (ssize_t i = 0; i + 2 < n; ++i) {
    if (window[i] == '\n' && window[i + 1] == '\n' && !isWhiteSpace(window[i + 2])) {
      return from + static_cast<std::uint64_t>(i) + 2;
    }
  }
  return 0;
}

std::uint64_t middleRecordStart(int fd, std::uint64_t minimum) {
  std::optional<std::uint64_t> size = regularSize(fd);
  return size && *size >= minimum ? likelyRecordStart(fd, *size / 2) : 0;
}

namespace {

// The second reader, at work on a piece of the file on a thread of its own.
class PieceAhead {
 public:
  // `blockSize` as for RecordStream: a small piece needs no large block.
  PieceAhead(int fd, halfReader& reader, std::size_t blockSize)
      : fd_(fd), reader_(reader), blockSize_(blockSize) {}
  PieceAhead(const PieceAhead&) = delete;
  PieceAhead& operator=(const PieceAhead&) = delete;
  ~PieceAhead() { stop(); }

  // Reads the records that begin in [begin, end) (end 0: to the end of the
  // file).
  void start(std::uint64_t begin, std::uint64_t end) {
    begin_ = begin;
    whole_ = false;
    stop_.raised = false;
    reader_.begin();
    if (!stream_) {
      stream_ = std::make_unique<RecordStream>(fd_, blockSize_, begin);
      stream_->onGap(
          [this](std::string_view piece, std::uint64_t line) { reader_.gap(piece, line); });
    } else {
      stream_->skipTo(begin, 1);
    }
    thread_ = std::thread([this, end] { read(end); });
  }

  [[nodiscard]] bool running() const { return thread_.joinable(); }
  [[nodiscard]] std::uint64_t begin() const { return begin_; }

  // Waits for the piece; whether it was read whole.
  bool finish() {
    thread_.join();
    return whole_;
  }
  // Stops the reader at the next record and waits for it; whether what it
  // read so far stands, up to after().
  bool stop() {
    if (!thread_.joinable()) return false;
    stop_.raised = true;
    thread_.join();
    return whole_;
  }
  // Where the reader stopped (at a record's start or the end of the file),
  // and the line there, counted from the piece's first line.
  [[nodiscard]] std::uint64_t after() const { return after_; }
  [[nodiscard]] std::uint64_t afterLine() const { return afterLine_; }

 private:
  void read(std::uint64_t end) {
    while (const rawRecord* r = stream_->next()) {
      if ((end != 0 && r->start >= end) || stop_.raised.load(std::memory_order_relaxed)) {
        after_ = r->start;
        afterLine_ = r->line;
        whole_ = true;
        return;
      }
      if (!reader_.record(*r)) return;
    }
    after_ = stream_->size();
    afterLine_ = stream_->line();
    whole_ = !stream_->failed();
  }

  int fd_;
  halfReader& reader_;
  std::size_t blockSize_;
  stopFlag stop_;
  std::unique_ptr<RecordStream> stream_;
  std::thread thread_;
  std::uint64_t begin_ = 0;
  std::uint64_t after_ = 0;
  std::uint64_t afterLine_ = 0;
  bool whole_ = false;
};

// The reading of readInHalves and readInPieces: `piece` bytes after where
// the first reader stands, the second reader begins a piece of as many
// bytes, if a record plainly begins there. With `rest` the first reader,
// arriving there, takes what the second has read so far and reads the
// rest itself; else it waits for the whole piece.
halvesRead readAhead(int fd, halfReader& first, halfReader& second, std::uint64_t piece,
                     bool rest) {
  const std::uint64_t size = regularSize(fd).value_or(0);
  PieceAhead ahead(fd, second,
                   std::min(std::size_t{1} << 20, std::max<std::size_t>(piece / 8, 4096)));
  auto startAfter = [&](std::uint64_t from) {
    if (piece == 0 || from >= size || size - from <= piece) return;
    const std::uint64_t begin = likelyRecordStart(fd, from + piece);
    if (begin == 0) return;
    ahead.start(begin, piece < size - begin ? likelyRecordStart(fd, begin + piece) : 0);
  };

  halvesRead result;
  RecordStream stream(fd);
  stream.onGap([&](std::string_view gap, std::uint64_t line) { first.gap(gap, line); });
  startAfter(0);
  while (const rawRecord* r = stream.next()) {
    if (ahead.running() && r->end > ahead.begin()) {
      // A record begins where the second reader began, or the guess was
      // wrong and this reader reads that piece itself.
      const bool there = r->start == ahead.begin();
      if (there && (rest ? ahead.stop() : ahead.finish())) {
        result.secondLine = r->line;
        second.taken(r->line);
        stream.skipTo(ahead.after(), r->line + ahead.afterLine() - 1);
        startAfter(ahead.after());
        continue;
      }
      ahead.stop();
      startAfter(r->start);
    }
    first.record(*r);
  }
  ahead.stop();
  result.failed = stream.failed();
  return result;
}

}  // namespace

halvesRead readInHalves(int fd, halfReader& first, halfReader& second, std::uint64_t minimum) {
  std::optional<std::uint64_t> size = regularSize(fd);
  return readAhead(fd, first, second, size && *size >= minimum ? *size / 2 : 0, false);
}

halvesRead readInPieces(int fd, halfReader& first, halfReader& second, std::uint64_t piece) {
  return readAhead(fd, first, second, piece, true);
}
