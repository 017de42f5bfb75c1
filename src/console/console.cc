#include "console/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text/white_space.h"

namespace {

constexpr std::size_t kInputBlock = std::size_t{64} * 1024;
// Output waits in the buffer while answers are already waiting, and goes out
// in blocks of this size.
constexpr std::size_t kOutputBlock = std::size_t{64} * 1024;
constexpr std::size_t kCopyBlock = std::size_t{128} * 1024;

// Blocks until `fd` is ready, for descriptors another program left
// non-blocking. False, with errno set, when poll itself fails.
bool waitFor(int fd, short events) {
  pollfd p{fd, events, 0};
  for (;;) {
    if (poll(&p, 1, -1) >= 0) return true;
    if (errno != EINTR) return false;
  }
}

// Reads up to `size` bytes; 0 at the end of the file, -1 on an error.
ssize_t readSome(int fd, char* data, std::size_t size) {
  for (;;) {
    ssize_t n = read(fd, data, size);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!waitFor(fd, POLLIN)) return -1;
    } else if (errno != EINTR) {
      return -1;
    }
  }
}

// Writes all of `data`, finishing short writes; false on an error.
bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (!waitFor(fd, POLLOUT)) return false;
        continue;
      }
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::size_t fitUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  auto isContinuation = [&](std::size_t i) {
    return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
  };
  if (!isContinuation(limit)) return limit;
  // Look back for the lead byte of the sequence that the limit falls into.
  for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
    std::size_t i = limit - back;
    auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;
    std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return i + length > limit ? i : limit;
  }
  return limit;
}

Console::Console(int inFd, int outFd) : inFd_(inFd), outFd_(outFd) {
  inBuf_.resize(kInputBlock);
  outBuf_.reserve(kOutputBlock);
}

void Console::print(std::string_view text) {
  if (outBuf_.size() + text.size() > kOutputBlock) flush();
  if (text.size() >= kOutputBlock) {
    writeOrEnd(text.data(), text.size());
  } else {
    outBuf_.append(text);
  }
}

void Console::printLine(std::string_view text) {
  print(text);
  print("\n");
}

void Console::flush() {
  if (outBuf_.empty()) return;
  writeOrEnd(outBuf_.data(), outBuf_.size());
  outBuf_.clear();
}

bool Console::finish() {
  bool ok = outBuf_.empty() || writeOut(outBuf_.data(), outBuf_.size());
  outBuf_.clear();
  return ok;
}

bool Console::writeOut(const char* data, std::size_t size) {
  if (!outputFailed_ && !writeAll(outFd_, data, size)) {
    fail("standard output");
    outputFailed_ = true;
  }
  return !outputFailed_;
}

void Console::writeOrEnd(const char* data, std::size_t size) {
  // Once output has failed, nobody sees anything more; end the session.
  if (!writeOut(data, size)) {
    outBuf_.clear();
    throw SessionEnd{1};
  }
}

bool Console::copyFile(int fd) {
  flush();
  // A larger pipe lets each call move more at once; it fails harmlessly when
  // the output is no pipe.
  (void)fcntl(outFd_, F_SETPIPE_SZ, 1 << 20);
  // The kernel moves the file's pages to the output without a copy through
  // this process; on any trouble the plain copy below takes over from the
  // same file offset and tells a read error from a write error.
  for (;;) {
    ssize_t n = sendfile(outFd_, fd, nullptr, 1 << 30);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
  }
  std::string block(kCopyBlock, '\0');
  for (;;) {
    ssize_t n = readSome(fd, block.data(), block.size());
    if (n <= 0) return n == 0;
    writeOrEnd(block.data(), static_cast<std::size_t>(n));
  }
}

void Console::fail(std::string_view what) {
  if (error_.empty()) error_ = std::string(what) + ": " + std::strerror(errno);
}

bool Console::refill() {
  if (inputEnded_) return false;
  // Everything printed must be on the screen before the program waits.
  flush();
  ssize_t n = readSome(inFd_, inBuf_.data(), inBuf_.size());
  // A read error ends the input as the end of the file does, but is kept
  // for the exit status.
  if (n <= 0) {
    if (n < 0) fail("standard input");
    inputEnded_ = true;
    return false;
  }
  next_ = inBuf_.data();
  end_ = next_ + n;
  return true;
}

int Console::peek() {
  if (next_ == end_ && !refill()) return -1;
  return static_cast<unsigned char>(*next_);
}

void Console::endOfInput() {
  print("\n");
  // Input that ended on a read error was not all there was to read.
  throw SessionEnd{error_.empty() ? 0 : 1};
}

void Console::skipSpace() {
  for (;;) {
    int c = peek();
    if (c < 0) endOfInput();
    if (!isWhiteSpace(c)) return;
    ++next_;
  }
}

void Console::discardLine() {
  for (;;) {
    if (next_ == end_ && !refill()) return;
    const void* lineBreak = std::memchr(next_, '\n', static_cast<std::size_t>(end_ - next_));
    if (lineBreak != nullptr) {
      next_ = static_cast<const char*>(lineBreak) + 1;
      return;
    }
    next_ = end_;
  }
}

std::optional<std::int32_t> Console::readNumber() {
  skipSpace();
  bool negative = false;
  if (int c = peek(); c == '+' || c == '-') {
    negative = c == '-';
    ++next_;
  }
  // The magnitude may reach 2^31 for the most negative value.
  const std::int64_t most = std::int64_t{1} << 31;
  std::int64_t value = 0;
  bool anyDigit = false;
  bool tooLarge = false;
  for (int c = peek(); c >= '0' && c <= '9'; c = peek()) {
    anyDigit = true;
    if (!tooLarge) {
      value = value * 10 + (c - '0');
      tooLarge = value > most;
    }
    ++next_;
  }
  if (!negative && value == most) tooLarge = true;
  if (!anyDigit || tooLarge) {
    discardLine();
    return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string Console::readWord(std::size_t limit) {
  skipSpace();
  std::string word;
  for (int c = peek(); c >= 0 && !isWhiteSpace(c); c = peek()) {
    // One byte past the limit tells fitUtf8 whether a character was cut.
    if (word.size() <= limit) word.push_back(static_cast<char>(c));
    ++next_;
  }
  word.resize(fitUtf8(word, limit));
  return word;
}

std::string Console::readLine(std::size_t limit) {
  if (peek() < 0) endOfInput();
  std::string line;
  for (;;) {
    if (next_ == end_ && !refill()) break;
    const char* stop =
        static_cast<const char*>(std::memchr(next_, '\n', static_cast<std::size_t>(end_ - next_)));
    const char* chunkEnd = stop != nullptr ? stop : end_;
    if (line.size() <= limit) {
      std::size_t room = limit == kNoLimit ? kNoLimit : limit - line.size() + 1;
      line.append(next_, std::min(room, static_cast<std::size_t>(chunkEnd - next_)));
    }
    if (stop != nullptr) {
      next_ = stop + 1;
      break;
    }
    next_ = end_;
  }
  line.resize(fitUtf8(line, limit));
  return line;
}
