#include "tickets/ticket_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/white_space.h"

namespace {

constexpr std::size_t kReadBlock = std::size_t{256} * 1024;

template <std::size_t N>
std::string_view text(const char (&field)[N]) {
  return {field, strnlen(field, N)};
}

void addLine(std::string& out, std::string_view line) {
  out.append(line);
  out.push_back('\n');
}

}  // namespace

std::string formatRecord(const movRecord& record) {
  std::string out;
  addLine(out, std::to_string(record.bookingNo));
  addLine(out, text(record.customerName));
  addLine(out, text(record.movieName));
  addLine(out, text(record.schedule));
  addLine(out, std::to_string(record.time));
  addLine(out, std::to_string(record.guests));
  addLine(out, std::to_string(record.houseNo));
  addLine(out, text(record.ticketType));
  addLine(out, std::to_string(record.totalFee));
  out.push_back('\n');
  return out;
}

uniqueFd openTicketFile(const std::string& path) {
  // O_NONBLOCK keeps a FIFO from hanging the open; regular files ignore it.
  uniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  // Only a regular file holds bookings: a directory cannot be read, and a
  // device such as /dev/full or /dev/zero would never end.
  if (fd.isOpen() && (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) fd.reset();
  return fd;
}

TicketReader::TicketReader(const std::string& path) : fd_(openTicketFile(path)) {
  if (fd_.isOpen()) buf_.resize(kReadBlock);
}

bool TicketReader::refill() {
  if (ended_) return false;
  for (;;) {
    ssize_t n = read(fd_.get(), buf_.data(), buf_.size());
    if (n > 0) {
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    failed_ = n < 0;
    ended_ = true;
    return false;
  }
}

int TicketReader::peek() {
  if (pos_ == len_ && !refill()) return -1;
  return static_cast<unsigned char>(buf_[pos_]);
}

bool TicketReader::takeLine(std::string* out) {
  bool any = false;
  for (;;) {
    if (pos_ == len_ && !refill()) return any;
    any = true;
    const char* begin = buf_.data() + pos_;
    const auto* lineBreak = static_cast<const char*>(std::memchr(begin, '\n', len_ - pos_));
    std::size_t take =
        lineBreak != nullptr ? static_cast<std::size_t>(lineBreak - begin) + 1 : len_ - pos_;
    if (out != nullptr) out->append(begin, take);
    pos_ += take;
    if (lineBreak != nullptr) return true;
  }
}

std::optional<recordTexts> TicketReader::readRecord() {
  if (!fd_.isOpen()) return std::nullopt;
  int c = peek();
  while (c >= 0 && isWhiteSpace(c)) {
    ++pos_;
    c = peek();
  }
  if (c < 0) return std::nullopt;
  recordTexts record;
  for (; c >= 0 && !isWhiteSpace(c); c = peek()) {
    record[0].push_back(static_cast<char>(c));
    ++pos_;
  }
  takeLine(nullptr);
  for (std::size_t i = 1; i < record.size(); ++i) {
    takeLine(&record[i]);
    // A line cut off by the end of the file still ends its screen line.
    if (record[i].empty() || record[i].back() != '\n') record[i].push_back('\n');
  }
  return record;
}
