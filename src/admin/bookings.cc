#include "admin/bookings.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "admin/text.h"

const char* const kFieldNames[kFields] = {"booking", "customer", "movie", "date", "time",
                                          "guests",  "house",    "type",  "fee"};

std::optional<field> fieldNamed(std::string_view name) {
  for (std::size_t i = 0; i < kFields; ++i) {
    if (name == kFieldNames[i]) return static_cast<field>(i);
  }
  return std::nullopt;
}

void adminRun::say(std::string_view message) const {
  err << "velvarin-admin: " << message << '\n';
  err.flush();
}

int adminRun::fileError(int error) const {
  say(file + ": " +
      (error == EWOULDBLOCK ? "another program holds the ticket file's lock; try again"
                            : std::strerror(error)));
  return 2;
}

uniqueFd adminRun::openForReading() const {
  // O_NONBLOCK keeps a FIFO from hanging the open.
  uniqueFd fd(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.isOpen()) {
    (void)fileError(errno);
    return fd;
  }
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) {
    (void)fileError(errno);
    fd.reset();
  } else if (!S_ISREG(st.st_mode)) {
    say(file + ": not a regular file");
    fd.reset();
  }
  return fd;
}

int adminRun::finish(int status) const {
  if (!out.flush()) {
    say(std::string("standard output: ") + std::strerror(out.error()));
    return 2;
  }
  return status;
}

keptBooking::keptBooking(const rawRecord& r) : line(r.line) {
  for (std::size_t i = 0; i < kFields; ++i) fields[i] = std::string(r.fields[i]);
}

bookingFields keptBooking::view() const {
  bookingFields v;
  for (std::size_t i = 0; i < kFields; ++i) v[i] = fields[i];
  return v;
}

namespace {

std::vector<Table::column> bookingColumns() {
  std::vector<Table::column> columns = {{"line", true}};
  for (const char* name : kFieldNames) {
    std::string_view n = name;
    bool number = n == "booking" || n == "time" || n == "guests" || n == "house" || n == "fee";
    columns.push_back({name, number});
  }
  return columns;
}

std::vector<std::string_view> cells(const std::string& line, const bookingFields& fields) {
  std::vector<std::string_view> row = {line};
  row.insert(row.end(), fields.begin(), fields.end());
  return row;
}

// The common case at full speed: a whole record, as read, with nothing to
// quote, is its lines joined by commas. False if the record is not such.
bool writeCsvRow(Output& out, const bookingFields& fields) {
  // A line missing from a record cut short has no place in the buffer.
  for (std::string_view f : fields) {
    if (f.data() == nullptr) return false;
  }
  const char* first = fields[1].data();
  for (std::size_t i = 2; i < kFields; ++i) {
    if (fields[i].data() != fields[i - 1].data() + fields[i - 1].size() + 1) return false;
  }
  const std::string_view lines(
      first, static_cast<std::size_t>(fields[8].data() + fields[8].size() - first));
  const std::size_t size = fields[0].size() + 1 + lines.size() + 2;
  const char* word = fields[0].data();
  const std::string_view record(word, static_cast<std::size_t>(lines.data() + lines.size() - word));
  // The booking-number word holds no white space, so no line break either;
  // the rest of its line, not written, is looked at with it, which costs
  // less than looking twice and only sends a rare record the slow way.
  if (size > Output::kBlock || first < word || !csvPlainLines(record)) return false;
  char* at = out.claim(size);
  std::memcpy(at, word, fields[0].size());
  at += fields[0].size();
  *at++ = ',';
  std::memcpy(at, lines.data(), lines.size());
  for (std::size_t i = 1; i + 1 < kFields; ++i)
    at[fields[i].data() + fields[i].size() - first] = ',';
  at += lines.size();
  *at++ = '\r';
  *at = '\n';
  return true;
}

}  // namespace

BookingWriter::BookingWriter(Output& out, format how)
    : out_(out), how_(how), table_(bookingColumns()) {}

void BookingWriter::measure(std::uint64_t line, const bookingFields& fields) {
  if (how_ == format::table) table_.measure(cells(std::to_string(line), fields));
}

void BookingWriter::header() {
  if (how_ == format::table) {
    table_.printHeader(out_);
  } else if (how_ == format::csv) {
    out_ << "booking,customer,movie,date,time,guests,house,type,fee\r\n";
  }
}

void BookingWriter::write(std::uint64_t line, const bookingFields& fields) {
  switch (how_) {
    case format::table:
      table_.print(out_, cells(std::to_string(line), fields));
      break;
    case format::csv:
      if (writeCsvRow(out_, fields)) break;
      for (std::size_t i = 0; i < kFields; ++i) {
        if (i > 0) out_ << ',';
        writeCsvField(out_, fields[i]);
      }
      out_ << "\r\n";
      break;
    case format::json:
      out_ << "{\"line\":" << std::to_string(line);
      for (std::size_t i = 0; i < kFields; ++i) {
        out_ << ",\"" << kFieldNames[i] << "\":";
        writeJsonValue(out_, fields[i]);
      }
      out_ << "}\n";
      break;
  }
}
