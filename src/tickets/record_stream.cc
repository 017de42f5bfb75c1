// The record stream keeps one block of the file and the offsets of its line
// breaks, found 64 bytes at a time; a record is then nine offsets away.
#include "tickets/record_stream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text/white_space.h"
#include "tickets/line_breaks.h"

namespace {

// Each indexer appends the offsets of the line breaks in [from, to) of
// `bytes` to `out`, and returns the new end of `out`.
using indexer = std::size_t* (*)(const char* bytes, std::size_t from, std::size_t to,
                                 std::size_t* out);

std::size_t* indexPortable(const char* bytes, std::size_t from, std::size_t to, std::size_t* out) {
  const char* p = bytes + from;
  const char* end = bytes + to;
  while (const void* lineBreak = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
    p = static_cast<const char*>(lineBreak);
    *out++ = static_cast<std::size_t>(p - bytes);
    ++p;
  }
  return out;
}

#if defined(__x86_64__)
template <typename Mask>
inline std::size_t* indexBlocks(const char* bytes, std::size_t from, std::size_t to,
                                std::size_t* out, Mask mask64) {
  for (; to - from >= 64; from += 64) {
    for (std::uint64_t mask = mask64(bytes + from); mask != 0; mask &= mask - 1) {
      *out++ = from + static_cast<std::size_t>(__builtin_ctzll(mask));
    }
  }
  return indexPortable(bytes, from, to, out);
}

std::size_t* indexSse2(const char* bytes, std::size_t from, std::size_t to, std::size_t* out) {
  return indexBlocks(bytes, from, to, out, lineBreaksSse2);
}

__attribute__((target("avx2,bmi"))) std::size_t* indexAvx2(const char* bytes, std::size_t from,
                                                           std::size_t to, std::size_t* out) {
  return indexBlocks(
      bytes, from, to, out,
      [](const char* at) __attribute__((target("avx2"))) { return lineBreaksAvx2(at); });
}
#endif

indexer bestIndexer() {
#if defined(__x86_64__)
  return haveAvx2() ? indexAvx2 : indexSse2;
#else
  return indexPortable;
#endif
}

}  // namespace

RecordStream::RecordStream(int fd, std::size_t blockSize)
    : fd_(fd),
      capacity_(std::max<std::size_t>(blockSize, 1)),
      buf_(new char[capacity_]),
      breaks_(new std::size_t[capacity_]) {}

RecordStream::~RecordStream() = default;

bool RecordStream::refill() {
  if (eof_) return false;
  if (pos_ > 0) {
    // What is read already goes; the record in progress moves to the front.
    std::memmove(buf_.get(), buf_.get() + pos_, size_ - pos_);
    std::size_t kept = breakCount_ - nextBreak_;
    for (std::size_t i = 0; i < kept; ++i) breaks_[i] = breaks_[nextBreak_ + i] - pos_;
    breakCount_ = kept;
    nextBreak_ = 0;
    base_ += pos_;
    size_ -= pos_;
    pos_ = 0;
  }
  if (size_ == capacity_) {
    // One record fills the whole buffer: only then does it grow.
    std::size_t grown = capacity_ * 2;
    std::unique_ptr<char[]> buf(new char[grown]);
    std::unique_ptr<std::size_t[]> breaks(new std::size_t[grown]);
    std::memcpy(buf.get(), buf_.get(), size_);
    std::copy(breaks_.get(), breaks_.get() + breakCount_, breaks.get());
    buf_ = std::move(buf);
    breaks_ = std::move(breaks);
    capacity_ = grown;
  }
  for (;;) {
    ssize_t n = read(fd_, buf_.get() + size_, capacity_ - size_);
    if (n > 0) {
      static const indexer index = bestIndexer();
      std::size_t* end = index(buf_.get(), size_, size_ + static_cast<std::size_t>(n),
                               breaks_.get() + breakCount_);
      breakCount_ = static_cast<std::size_t>(end - breaks_.get());
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
        ++nextBreak_;
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
    std::size_t have = breakCount_ - nextBreak_;
    bool whole = have >= 9 && breaks_[nextBreak_ + 8] + 1 < size_;
    if (!whole && !eof_) {
      refill();
      continue;
    }

    const std::size_t* lineBreaks = breaks_.get() + nextBreak_;
    const auto take = static_cast<unsigned>(std::min<std::size_t>(have, 9));
    rawRecord& r = record_;
    r.line = line_;
    r.start = base_ + pos_;
    r.lead = std::string_view(bytes + pos_, p - pos_);
    std::size_t lineEnd = take > 0 ? lineBreaks[0] : size_;
    std::size_t word = p;
    while (word < lineEnd && !isWhiteSpace(bytes[word])) ++word;
    r.fields[0] = std::string_view(bytes + p, word - p);
    r.rest = std::string_view(bytes + word, lineEnd - word);
    // Line k + 1 of the record runs from after the k-th line break.
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
    std::size_t end = take == 9 ? lineBreaks[8] + 1 : size_;
    // Cut short by the end of the file: the lines it ends with, and one
    // more if bytes follow the last line break.
    bool tail = take < 9 && take > 0 && lineBreaks[take - 1] + 1 < size_;
    r.lines = take == 9 ? 9 : take == 0 ? 1 : take + (tail ? 1 : 0);
    r.ended = take == 9 || (take > 0 && !tail);
    r.end = base_ + end;
    r.next = end < size_ ? static_cast<unsigned char>(bytes[end]) : -1;
    nextBreak_ += take;
    line_ += take;
    pos_ = end;
    return &r;
  }
}
