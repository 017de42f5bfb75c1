// cancel and amend: the bookings to change are found and the new file is
// written while the writers' lock is held, so that no operator's booking
// is lost and no two changes mix.
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "admin/bookings.h"
#include "admin/commands.h"
#include "admin/text.h"
#include "text/white_space.h"

namespace {

// A booking with that number, and where its record stands.
struct match {
  keptBooking booking;
  std::uint64_t start;
  std::uint64_t end;
  bool emptyLineAfter;  // the line after the record is empty and goes with it
  std::string lead;     // white space before the number on its line
  std::string rest;     // the rest of the number's line
  unsigned lines;
  bool ended;
};

enum class outcome { chosen, none, several, problem };

// The bookings numbered `number` in the file `fd`, and those of them that
// `which` picks.
struct search {
  std::vector<match> all;
  std::vector<const match*> chosen;
  std::uint64_t size = 0;  // the bytes the file had when read
  bool failed = false;

  outcome decide(pick which) {
    for (const match& m : all) {
      if (which.all || !which.line || m.booking.line == *which.line) chosen.push_back(&m);
    }
    if (chosen.empty()) return outcome::none;
    if (chosen.size() > 1 && !which.all) return outcome::several;
    return outcome::chosen;
  }
};

// Keeps the bookings numbered `number` in one half of the file.
class matcher : public halfReader {
 public:
  explicit matcher(std::string_view number) : number_(number) {}
  bool record(const rawRecord& r) override {
    if (r.fields[0] == number_) {
      found.push_back({keptBooking(r), r.start, r.end + (r.next == '\n' ? 1 : 0), r.next == '\n',
                       std::string(r.lead), std::string(r.rest), r.lines, r.ended});
    }
    return true;
  }
  void gap(std::string_view, std::uint64_t) override {}
  std::vector<match> found;

 private:
  std::string_view number_;
};

search findBookings(int fd, std::string_view number) {
  search found;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    found.failed = true;
    return found;
  }
  found.size = static_cast<std::uint64_t>(st.st_size);
  matcher first(number);
  matcher second(number);
  halvesRead read = readInHalves(fd, first, second);
  found.failed = read.failed;
  found.all = std::move(first.found);
  if (read.secondLine > 0) {
    for (match& m : second.found) {
      m.booking.line += read.secondLine - 1;
      found.all.push_back(std::move(m));
    }
  }
  return found;
}

// Says why no single booking was chosen; returns the exit status.
int explain(const adminRun& run, outcome result, const search& found, const std::string& number,
            pick which) {
  if (result == outcome::none) {
    run.say("no booking numbered " + number +
            (which.line ? " at line " + std::to_string(*which.line) : ""));
  } else {
    run.say("booking " + number + " stands " + std::to_string(found.all.size()) +
            " times; name one with --line" + (which.all ? "" : " (or --all to cancel every one)"));
    for (const match& m : found.all) {
      run.err << run.file << ':' << std::to_string(m.booking.line) << ": booking " << number
              << '\n';
    }
    run.err.flush();
  }
  return 1;
}

// Copies `length` bytes of `from` at `offset` to the end of `to`; the
// kernel moves them where it can. Each block is sent on to the disk at once,
// so that the sync at the end finds little left to write.
int copyBytes(int from, int to, std::uint64_t offset, std::uint64_t length) {
  constexpr std::uint64_t kBlock = std::uint64_t{8} << 20;
  auto at = static_cast<off_t>(offset);
  while (length > 0) {
    ssize_t n = copy_file_range(from, &at, to, nullptr, std::min(length, kBlock), 0);
    if (n > 0) (void)sync_file_range(to, 0, 0, SYNC_FILE_RANGE_WRITE);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      n = sendfile(to, from, &at, std::min(length, kBlock));
      if (n < 0 && errno == EINTR) continue;
    }
    if (n < 0) return errno;
    if (n == 0) return EIO;  // the file is shorter than it was a moment ago
    length -= static_cast<std::uint64_t>(n);
  }
  return 0;
}

int writeBytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// Writes the bookings as they are shown after a change.
void show(const adminRun& run, format how, const std::vector<keptBooking>& bookings) {
  BookingWriter writer(run.out, how);
  for (const keptBooking& b : bookings) writer.measure(b.line, b.view());
  writer.header();
  for (const keptBooking& b : bookings) writer.write(b.line, b.view());
}

// Runs `change` on the chosen bookings under the writers' lock; returns the
// exit status.
// Copies the old file to the new one while another thread finds the
// bookings numbered `number`, leaving out those that `which` would choose:
// the copy need not wait for the whole file to be read. Whether the choice
// stands is told after; if it does not, the new file is thrown away.
search copyWhileFinding(int oldFd, int newFd, std::string_view number, pick which, int& error) {
  std::mutex lock;
  std::condition_variable moved;
  search found;
  std::uint64_t known = 0;  // every booking that begins before this is in found.all
  bool done = false;
  std::thread finder([&] {
    RecordStream stream(oldFd);
    std::uint64_t told = 0;
    while (const rawRecord* r = stream.next()) {
      const bool match = r->fields[0] == number;
      if (!match && r->end - told < (std::uint64_t{4} << 20)) continue;
      std::lock_guard<std::mutex> hold(lock);
      if (match) {
        found.all.push_back({keptBooking(*r), r->start, r->end + (r->next == '\n' ? 1 : 0),
                             r->next == '\n', std::string(r->lead), std::string(r->rest), r->lines,
                             r->ended});
      }
      known = told = r->end;
      moved.notify_one();
    }
    std::lock_guard<std::mutex> hold(lock);
    found.failed = stream.failed();
    found.size = stream.size();
    known = found.size;
    done = true;
    moved.notify_one();
  });

  std::uint64_t at = 0;  // copied up to here
  std::size_t next = 0;  // the next booking found to look at
  for (bool finished = false; !finished && error == 0;) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;  // of bookings to leave out
    std::vector<std::uint64_t> starts;
    std::uint64_t until = 0;
    {
      std::unique_lock<std::mutex> hold(lock);
      moved.wait(hold, [&] { return done || known > at || next < found.all.size(); });
      for (; next < found.all.size(); ++next) {
        const match& m = found.all[next];
        const bool leave = which.all || (which.line ? m.booking.line == *which.line : next == 0);
        if (leave) spans.emplace_back(m.start, m.end);
      }
      until = known;
      finished = done;
    }
    for (auto [start, end] : spans) {
      if (error == 0 && start > at) error = copyBytes(oldFd, newFd, at, start - at);
      at = end;
    }
    if (error == 0 && until > at) {
      error = copyBytes(oldFd, newFd, at, until - at);
      at = until;
    }
  }
  {
    // On an error the finder is told to stop by its own reading's end.
    std::unique_lock<std::mutex> hold(lock);
    moved.wait(hold, [&] { return done; });
  }
  finder.join();
  return found;
}

// Finds the bookings with `find`, then changes the chosen ones with
// `change`, under the writers' lock; returns the exit status.
template <typename Find, typename Change>
int changeBookings(const adminRun& run, const std::string& number, pick which,
                   std::vector<keptBooking>& shown, Find find, Change change) {
  outcome result = outcome::chosen;
  search found;
  int problem = 0;
  fileStatus status = rewriteTicketFile(
      run.file,
      [&](int oldFd, int newFd) {
        int error = 0;
        found = find(oldFd, newFd, error);
        if (found.failed) return fileStatus{EIO};
        if (error != 0) return fileStatus{error};
        result = found.decide(which);
        if (result != outcome::chosen) return fileStatus{ECANCELED};
        problem = change(found, oldFd, newFd, shown);
        if (problem < 0) result = outcome::problem;
        return fileStatus{problem > 0 ? problem : problem < 0 ? ECANCELED : 0};
      },
      run.writer);
  if (result == outcome::problem) return 2;
  if (result != outcome::chosen) return explain(run, result, found, number, which);
  if (!status.ok()) return run.fileError(status.error);
  return 0;
}

}  // namespace

int cancelBooking(const adminRun& run, const std::string& number, pick which, bool dryRun,
                  format how) {
  std::vector<keptBooking> removed;
  if (dryRun) {
    uniqueFd fd = run.openForReading();
    if (!fd.isOpen()) return 2;
    search found = findBookings(fd.get(), number);
    if (found.failed) return run.fileError(EIO);
    outcome result = found.decide(which);
    if (result != outcome::chosen) return explain(run, result, found, number, which);
    for (const match* m : found.chosen) removed.push_back(m->booking);
  } else {
    // Everything but the chosen records (and the empty line after each)
    // is copied as it was, while they are looked for.
    int status = changeBookings(
        run, number, which, removed,
        [&](int oldFd, int newFd, int& error) {
          return copyWhileFinding(oldFd, newFd, number, which, error);
        },
        [](const search& found, int, int, std::vector<keptBooking>& shown) {
          for (const match* m : found.chosen) shown.push_back(m->booking);
          return 0;
        });
    if (status != 0) return status;
  }
  show(run, how, removed);
  return run.finish(0);
}

namespace {

// The widths of the text fields, as the add dialogue stores them.
std::size_t widthOf(field f) {
  switch (f) {
    case field::customer:
    case field::movie:
      return 29;
    case field::date:
      return 15;
    case field::type:
      return 31;
    default:
      return 0;
  }
}

struct fieldChange {
  field which;
  std::string text;  // as it is to stand in the file
};

// Turns FIELD=VALUE into a change, or says what is wrong with it.
std::optional<fieldChange> parseChange(const adminRun& run, std::string_view change) {
  std::size_t equals = change.find('=');
  std::optional<field> f = fieldNamed(change.substr(0, equals));
  if (equals == std::string_view::npos || !f) {
    std::string message(1, '\'');
    message.append(change).append(
        "' is not FIELD=VALUE with FIELD one of booking, customer, movie, date, time, guests, "
        "house, type, fee");
    run.say(message);
    return std::nullopt;
  }
  std::string_view value = change.substr(equals + 1);
  const std::string name = kFieldNames[static_cast<std::size_t>(*f)];
  auto refuse = [&](const std::string& why) {
    run.say(name + " '" + std::string(value) + "': " + why);
    return std::nullopt;
  };
  if (value.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos) {
    return refuse("a value cannot hold a line break or a NUL byte");
  }
  std::optional<std::int32_t> number = typedInt32(value);
  switch (*f) {
    case field::booking:
      if (!number || *number < 1 || *number > 9999) return refuse("must be 1 to 9999");
      break;
    case field::time:
      if (!number || *number < 1000 || *number > 2300) return refuse("must be 1000 to 2300");
      break;
    case field::guests:
    case field::house:
    case field::fee:
      if (!number) return refuse("must be a whole number that fits in 32 bits");
      break;
    case field::type:
      for (char c : value) {
        if (isWhiteSpace(static_cast<unsigned char>(c))) return refuse("must be one word");
      }
      [[fallthrough]];
    default:
      if (value.size() > widthOf(*f)) {
        return refuse("is " + std::to_string(value.size()) + " bytes, over the " +
                      std::to_string(widthOf(*f)) + " the field holds");
      }
      return fieldChange{*f, std::string(value)};
  }
  return fieldChange{*f, std::to_string(*number)};
}

}  // namespace

int amendBooking(const adminRun& run, const std::string& number, pick which,
                 const std::vector<std::string>& changes, format how) {
  std::vector<fieldChange> wanted;
  for (const std::string& text : changes) {
    std::optional<fieldChange> c = parseChange(run, text);
    if (!c) return 2;
    for (const fieldChange& earlier : wanted) {
      if (earlier.which == c->which) {
        run.say(std::string("field ") + kFieldNames[static_cast<std::size_t>(c->which)] +
                " is named twice");
        return 2;
      }
    }
    wanted.push_back(*c);
  }
  std::vector<keptBooking> amended;
  int status = changeBookings(
      run, number, which, amended,
      [&](int oldFd, int, int&) { return findBookings(oldFd, number); },
      [&](const search& found, int oldFd, int newFd, std::vector<keptBooking>& shown) {
        const match& m = *found.chosen.front();
        keptBooking now = m.booking;
        std::array<bool, kFields> named{};
        for (const fieldChange& c : wanted) {
          auto i = static_cast<std::size_t>(c.which);
          if (i >= m.lines) {
            run.say("the booking at line " + std::to_string(m.booking.line) +
                    " is cut short: it has no " + kFieldNames[i] + " line");
            return -1;
          }
          named[i] = true;
          now.fields[i] = c.text;
        }
        // Only the named lines change; the number's line becomes exactly
        // the new number when that is named.
        std::string record;
        for (std::size_t i = 0; i < m.lines; ++i) {
          record += i == 0 && !named[0] ? m.lead + m.booking.fields[0] + m.rest : now.fields[i];
          if (i + 1 < m.lines || m.ended) record += '\n';
        }
        std::uint64_t end = m.end - (m.emptyLineAfter ? 1 : 0);
        if (int error = copyBytes(oldFd, newFd, 0, m.start)) return error;
        if (int error = writeBytes(newFd, record)) return error;
        shown.push_back(now);
        return copyBytes(oldFd, newFd, end, found.size - end);
      });
  if (status != 0) return status;
  show(run, how, amended);
  return run.finish(0);
}
