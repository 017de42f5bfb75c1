// The search's record reader: the same reading as readRecord, but fast. It
// keeps no record in memory, so a line of any length costs no memory, and it
// skips the lines of records that do not match by counting line breaks a
// whole block of bytes at a time.
#include "tickets/record_scan.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "text/white_space.h"
#include "tickets/line_breaks.h"
#include "tickets/record_stream.h"

namespace {

// Each skipper moves `p` past the `left`-th line break in [p, end); if there
// are fewer, it returns end and lowers `left` by the number passed.
using skipper = const char* (*)(const char* p, const char* end, unsigned& left);

const char* skipPortable(const char* p, const char* end, unsigned& left) {
  while (left > 0) {
    const void* lineBreak = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (lineBreak == nullptr) return end;
    p = static_cast<const char*>(lineBreak) + 1;
    --left;
  }
  return p;
}

#if defined(__x86_64__)
// Past the `left`-th set bit of `mask` (which has at least that many).
inline unsigned afterNthBit(std::uint64_t mask, unsigned left) {
  assert(left > 0 && left <= static_cast<unsigned>(__builtin_popcountll(mask)));
  while (--left > 0) mask &= mask - 1;
  return static_cast<unsigned>(__builtin_ctzll(mask)) + 1;
}

// Past the `left`-th set bit of `mask`, in one step.
__attribute__((target("bmi,bmi2"))) inline unsigned afterNthBitBmi2(std::uint64_t mask,
                                                                    unsigned left) {
  return static_cast<unsigned>(__builtin_ctzll(_pdep_u64(std::uint64_t{1} << (left - 1), mask))) +
         1;
}

// The common loop: `mask64(p)` marks the line breaks among p[0..63];
// `nth` finds the bit past which to go on.
template <typename Mask, typename Nth>
inline const char* skipBlocks(const char* p, const char* end, unsigned& left, Mask mask64,
                              Nth nth) {
  while (end - p >= 64) {
    std::uint64_t mask = mask64(p);
    auto count = static_cast<unsigned>(__builtin_popcountll(mask));
    if (count >= left) {
      unsigned after = nth(mask, left);
      left = 0;
      return p + after;
    }
    left -= count;
    p += 64;
  }
  return skipPortable(p, end, left);
}

const char* skipSse2(const char* p, const char* end, unsigned& left) {
  return skipBlocks(p, end, left, lineBreaksSse2, afterNthBit);
}

// Flattened, so that the mask is made inline and not called for.
__attribute__((target("avx2,popcnt"), flatten)) const char* skipAvx2(const char* p, const char* end,
                                                                     unsigned& left) {
  return skipBlocks(
      p, end, left,
      [](const char* at) __attribute__((target("avx2"))) { return lineBreaksAvx2(at); },
      afterNthBit);
}

__attribute__((target("avx2,popcnt,bmi,bmi2"), flatten)) const char* skipAvx2Bmi2(const char* p,
                                                                                  const char* end,
                                                                                  unsigned& left) {
  return skipBlocks(
      p, end, left,
      [](const char* at) __attribute__((target("avx2"))) { return lineBreaksAvx2(at); },
      afterNthBitBmi2);
}
#endif

// The fastest skipper this processor runs, chosen once.
skipper bestSkipper() {
  static const skipper chosen = [] {
    switch (chosenSimd()) {
#if defined(__x86_64__)
      case simdLevel::avx2:
        // pdep takes many steps on the first two generations of Zen.
        return __builtin_cpu_supports("bmi2") && !__builtin_cpu_is("znver1") &&
                       !__builtin_cpu_is("znver2")
                   ? skipAvx2Bmi2
                   : skipAvx2;
      case simdLevel::sse2:
        return skipSse2;
#endif
      default:
        return skipPortable;
    }
  }();
  return chosen;
}

// Follows the records through the file's bytes as they come, block by block.
class Scanner {
 public:
  Scanner(std::string_view target, const fieldSink& sink, skipper skip)
      : target_(target), sink_(sink), skip_(skip) {}

  void feed(const char* p, const char* end) {
    while (p < end) {
      switch (phase_) {
        case phase::space:
          while (p < end && isWhiteSpace(*p)) ++p;
          if (p == end) return;
          phase_ = phase::word;
          wordSize_ = 0;
          wordMatches_ = true;
          // Most records are decided here, without looking for the word's end.
          if (static_cast<std::size_t>(end - p) > target_.size()) {
            endWord(std::memcmp(p, target_.data(), target_.size()) == 0 &&
                    isWhiteSpace(p[target_.size()]));
            continue;
          }
          break;
        case phase::word:
          p = wordPiece(p, end);
          break;
        case phase::lines:
          p = matched_ ? copyLine(p, end) : skipLines(p, end);
          break;
      }
    }
  }

  // The end of the file ends the record in progress; its missing lines are
  // empty.
  void finish() {
    if (phase_ == phase::word) endWord(wordMatches_ && wordSize_ == target_.size());
    if (phase_ == phase::lines && matched_) {
      for (std::size_t field = std::max<std::size_t>(1, 9 - linesLeft_); field <= 8; ++field) {
        sink_(field, "\n");
      }
    }
    phase_ = phase::space;
  }

  [[nodiscard]] std::size_t found() const { return found_; }
  // Between records: a scanner that starts here reads on as this one would.
  [[nodiscard]] bool betweenRecords() const { return phase_ == phase::space; }

 private:
  enum class phase { space, word, lines };

  const char* wordPiece(const char* p, const char* end) {
    const char* stop = p;
    while (stop < end && !isWhiteSpace(*stop)) ++stop;
    auto size = static_cast<std::size_t>(stop - p);
    if (wordMatches_) {
      wordMatches_ = wordSize_ + size <= target_.size() &&
                     std::memcmp(p, target_.data() + wordSize_, size) == 0;
    }
    wordSize_ += size;
    if (stop < end) endWord(wordMatches_ && wordSize_ == target_.size());
    return stop;
  }

  // The word is complete; nine line breaks follow: its own line's and those
  // of the eight field lines.
  void endWord(bool matches) {
    phase_ = phase::lines;
    linesLeft_ = 9;
    matched_ = matches;
    if (matches) {
      ++found_;
      sink_(0, target_);
    }
  }

  const char* skipLines(const char* p, const char* end) {
    p = skip_(p, end, linesLeft_);
    if (linesLeft_ == 0) phase_ = phase::space;
    return p;
  }

  const char* copyLine(const char* p, const char* end) {
    const auto* lineBreak =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* stop = lineBreak != nullptr ? lineBreak + 1 : end;
    // The rest of the booking number's line is not shown.
    if (linesLeft_ < 9) {
      sink_(9 - linesLeft_, std::string_view(p, static_cast<std::size_t>(stop - p)));
    }
    if (lineBreak != nullptr && --linesLeft_ == 0) phase_ = phase::space;
    return stop;
  }

  std::string_view target_;
  const fieldSink& sink_;
  skipper skip_;
  phase phase_ = phase::space;
  std::size_t wordSize_ = 0;
  bool wordMatches_ = true;
  bool matched_ = false;
  unsigned linesLeft_ = 0;
  std::size_t found_ = 0;
};

// Feeds `scanner` what read() gives from `fd`, at most `limit` bytes;
// returns the number fed, or -1 if reading failed.
std::int64_t feedFrom(int fd, Scanner& scanner, std::string& block, std::uint64_t limit) {
  std::uint64_t fed = 0;
  while (fed < limit) {
    ssize_t n = read(fd, block.data(), std::min<std::uint64_t>(block.size(), limit - fed));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    scanner.feed(block.data(), block.data() + n);
    fed += static_cast<std::uint64_t>(n);
  }
  return static_cast<std::int64_t>(fed);
}

// The second half of a file read in two: the records found from `from` to
// the end, kept for the first half's reader to hand on once it is done.
class SecondHalf {
 public:
  SecondHalf(int fd, std::string_view target, std::uint64_t from, std::size_t blockSize)
      : keep_([this](std::size_t field, std::string_view piece) {
          kept_.push_back(static_cast<char>(field));
          std::size_t size = piece.size();
          kept_.append(reinterpret_cast<const char*>(&size), sizeof size).append(piece);
        }),
        thread_([this, fd, target, from, blockSize] { read(fd, target, from, blockSize); }) {}
  SecondHalf(const SecondHalf&) = delete;
  SecondHalf& operator=(const SecondHalf&) = delete;
  ~SecondHalf() { giveUp(); }

  void giveUp() {
    stop_.raised = true;
    if (thread_.joinable()) thread_.join();
  }

  // Waits for the end of the file; hands on what was found and returns how
  // many, or nothing if this half gave up or failed.
  std::optional<std::size_t> handOn(const fieldSink& sink) {
    thread_.join();
    if (!whole_) return std::nullopt;
    for (std::size_t at = 0; at < kept_.size();) {
      auto field = static_cast<std::size_t>(static_cast<unsigned char>(kept_[at]));
      std::size_t size = 0;
      std::memcpy(&size, kept_.data() + at + 1, sizeof size);
      at += 1 + sizeof size;
      sink(field, std::string_view(kept_).substr(at, size));
      at += size;
    }
    return found_;
  }

 private:
  // Past this much kept, the first reader reads on alone: memory stays small
  // however many bookings match.
  static constexpr std::size_t kMostKept = std::size_t{1} << 20;

  void read(int fd, std::string_view target, std::uint64_t from, std::size_t blockSize) {
    Scanner scanner(target, keep_, bestSkipper());
    std::string block(blockSize, '\0');
    for (;;) {
      if (stop_.raised.load(std::memory_order_relaxed) || kept_.size() > kMostKept) return;
      ssize_t n = pread(fd, block.data(), block.size(), static_cast<off_t>(from));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return;
      if (n == 0) break;
      scanner.feed(block.data(), block.data() + n);
      from += static_cast<std::uint64_t>(n);
    }
    scanner.finish();
    found_ = scanner.found();
    whole_ = true;
  }

  std::string kept_;  // field number, piece size, piece; for each piece
  fieldSink keep_;
  stopFlag stop_;
  std::size_t found_ = 0;
  bool whole_ = false;
  std::thread thread_;  // last: it starts once all the above is ready
};

}  // namespace

scanResult scanBookings(int fd, std::string_view target, const fieldSink& sink,
                        std::size_t blockSize, std::uint64_t minimum) {
  std::string block(blockSize, '\0');
  Scanner scanner(target, sink, bestSkipper());
  scanResult result;
  // Records cannot be told apart from the middle on, but one that plainly
  // begins there can be read from at once and confirmed later: it is right
  // if the first half's reader arrives there between records.
  if (const std::uint64_t split = middleRecordStart(fd, minimum); split > 0) {
    SecondHalf second(fd, target, split, blockSize);
    const std::int64_t fed = feedFrom(fd, scanner, block, split);
    if (static_cast<std::uint64_t>(fed) == split && scanner.betweenRecords()) {
      if (std::optional<std::size_t> found = second.handOn(sink)) {
        result.found = scanner.found() + *found;
        return result;
      }
    }
    result.failed = fed < 0;
  }
  if (!result.failed) result.failed = feedFrom(fd, scanner, block, UINT64_MAX) < 0;
  scanner.finish();
  result.found = scanner.found();
  return result;
}
