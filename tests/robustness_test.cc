// What the program promises under hostile conditions: input cut anywhere,
// file-system faults, kills, several operators at once, foreign ticket files
// and endless sessions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child.h"
#include "in_process.h"
#include "record_check.h"
#include "run_program.h"
#include "scratch_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELVARIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELVARIN_ASAN 1
#endif
#endif

namespace {

using namespace std::string_literals;

// A session's input, with what each booking in it stores.
class Script {
 public:
  Script& type(const std::string& keys) {
    input_ += keys;
    return *this;
  }
  // The answers of one booking, from its booking number to its fee.
  Script& book(int no, const std::string& name, const std::string& fee = "150") {
    std::string no_ = std::to_string(no);
    input_ += no_ + "\n" + name + "\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n";
    bookings_.push_back(
        {input_.size(), no_ + "\n" + name + "\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n", fee});
    input_ += fee + "\n";
    return *this;
  }
  const std::string& input() const { return input_; }
  // The ticket file's bytes after the input was cut to its first `length`
  // bytes: a booking is stored once its fee has begun, with the digits read.
  std::string storedAfter(std::size_t length) const {
    std::string stored;
    for (const Booking& b : bookings_) {
      if (b.feeAt >= length) break;
      stored += b.record + b.fee.substr(0, length - b.feeAt) + "\n\n";
    }
    return stored;
  }

 private:
  struct Booking {
    std::size_t feeAt;
    std::string record;
    std::string fee;
  };
  std::string input_;
  std::vector<Booking> bookings_;
};

class Robustness : public ScratchDirTest {};

// Promise: end of input at any byte ends the session cleanly, keeping exactly
// the bookings completed before it.
TEST_F(Robustness, InputCutAtEveryByte) {
  const std::string before = "7\nOld\nIT\n01-01-2026\n1000\n1\n1\nVIP\n10\n\n";
  struct Case {
    const char* name;
    std::string ticketBefore;
    Script script;
  };
  const Case cases[] = {
      {"bookings, listing, search, catalogue", "",
       Script()
           .type("1\n")
           .book(42, "Ada Lovelace")
           .type("Y\nyes\n")
           .book(9999, "Bob Smith", "2000")
           .type("nope\n2\n4\n42\ny\n0042\nn\n6\n2\n2\n5\n3\n1\n3\n5\n7\n")},
      {"wrong answers around a booking", before,
       Script()
           .type("4\n7\nn\n2\n0\nx\n1\n0\n-5\n10000\nabc\n")
           .book(1, "")
           .type("n\n6 1 1\n1\n")
           .book(77, "Grace Hopper", "5")
           .type("n\n7\n")},
  };
  int cuts = 0;
  for (const Case& c : cases) {
    const std::string& input = c.script.input();
    for (std::size_t length = 0; length <= input.size(); ++length, ++cuts) {
      SCOPED_TRACE(std::string(c.name) + ", cut after byte " + std::to_string(length));
      writeFile("ticket.txt", c.ticketBefore);
      SessionRun run = runInProcess(ticketPath(), std::string_view(input).substr(0, length));
      ASSERT_EQ(run.status, 0);
      ASSERT_EQ(readFile("ticket.txt"), c.ticketBefore + c.script.storedAfter(length));
    }
  }
  RecordProperty("cuts", cuts);
}

const std::string kBooking = "Ada\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n150\n";

// Promise: a booking that cannot be stored is reported, leaves the file as
// it was, and the next one succeeds once the fault is gone.
TEST_F(Robustness, FileSystemFaults) {
  const std::string before = "7\nOld\nIT\n01-01-2026\n1000\n1\n1\nVIP\n10\n\n";
  struct Fault {
    const char* name;
    std::function<void(Robustness&)> make;
    std::function<void()> beforeExec;
    std::function<void(Robustness&, pid_t)> mend;
    rlim_t sizeLimit = RLIM_INFINITY;
  };
  auto withFile = [&](Robustness& t) { t.writeFile("ticket.txt", before); };
  // SIGXFSZ at its default, as a user's shell leaves it.
  auto signalAsInShell = [] { signal(SIGXFSZ, SIG_DFL); };
  auto liftLimit = [](Robustness&, pid_t pid) {
    rlimit none{RLIM_INFINITY, RLIM_INFINITY};
    prlimit(pid, RLIMIT_FSIZE, &none, nullptr);
  };
  const Fault faults[] = {
      {"link to a device",
       [](Robustness& t) { std::filesystem::create_symlink("/dev/full", t.ticketPath()); },
       {},
       [](Robustness& t, pid_t) { std::filesystem::remove(t.ticketPath()); }},
      {"directory of that name",
       [](Robustness& t) { std::filesystem::create_directory(t.ticketPath()); },
       {},
       [](Robustness& t, pid_t) { std::filesystem::remove(t.ticketPath()); }},
      {"file-size limit in the middle of a record", withFile, signalAsInShell, liftLimit,
       before.size() + 20},
      {"file-size limit reached already", withFile, signalAsInShell, liftLimit, before.size()},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    fault.make(*this);
    const std::string state = ticketState();
    const bool regular = std::filesystem::is_regular_file(ticketPath());
    Child child(dir_.string(), Link::pipes, fault.beforeExec);
    ASSERT_TRUE(child.started());
    rlimit limit{fault.sizeLimit, RLIM_INFINITY};
    prlimit(child.pid(), RLIMIT_FSIZE, &limit, nullptr);

    child.type("1\n5\n" + kBooking);
    ASSERT_TRUE(child.waitFor("Add another record (y/n)?")) << child.output();
    EXPECT_EQ(child.output().find("sucessful"), std::string::npos);
    EXPECT_NE(child.output().find("Enter Total Fee: File not found!\nAdd another record (y/n)?"),
              std::string::npos);
    EXPECT_EQ(ticketState(), state);

    fault.mend(*this, child.pid());
    child.type("y\n6\n" + kBooking);
    ASSERT_TRUE(
        child.waitFor("Enter Total Fee: Record insert sucessful!\nAdd another record (y/n)?"));
    child.type("n\n7\n");
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(readFile("ticket.txt"), (regular ? before : "") + "6\n" + kBooking + "\n");
  }
}

// Promise: a booking waits for another writer's lock only so long, then
// fails cleanly; once the lock is free, bookings are stored again.
TEST_F(Robustness, LockHeldByAnotherWriterTooLong) {
  const std::string before = "7\nOld\nIT\n01-01-2026\n1000\n1\n1\nVIP\n10\n\n";
  writeFile("ticket.txt", before);
  int lock = open(ticketPath().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  Child child(dir_.string(), Link::pipes);
  ASSERT_TRUE(child.started());
  child.type("1\n5\n" + kBooking);
  ASSERT_TRUE(child.waitFor("Enter Total Fee: File not found!\nAdd another record (y/n)?", 60000))
      << child.output();
  EXPECT_EQ(readFile("ticket.txt"), before);
  close(lock);
  child.type("y\n6\n" + kBooking);
  ASSERT_TRUE(
      child.waitFor("Enter Total Fee: Record insert sucessful!\nAdd another record (y/n)?"));
  child.type("n\n7\n");
  EXPECT_EQ(child.wait(), 0);
  EXPECT_EQ(readFile("ticket.txt"), before + "6\n" + kBooking + "\n");
}

// Promise: when the console itself fails, the session ends with status 1
// and one line on standard error saying why; a closed pipe kills it by
// SIGPIPE as it does cat.
TEST_F(Robustness, ConsoleFaults) {
  struct Case {
    const char* name;
    const char* in;   // standard input: a path, or null for a pipe
    const char* out;  // standard output: a path, or null for a pipe
    std::string input;
    int status;
    std::string errors;
  } cases[] = {
      {"input is a directory", "/", nullptr, "", 1, "velvarin: standard input: Is a directory\n"},
      {"output cannot be written", nullptr, "/dev/full", "7\n", 1,
       "velvarin: standard output: No space left on device\n"},
      {"end of input", nullptr, nullptr, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string errors = path("errors");
    Child child(dir_.string(), Link::pipes, [&] {
      auto redirect = [](const char* from, int flags, int to) {
        if (from == nullptr) return;
        int fd = open(from, flags, 0644);
        dup2(fd, to);
        close(fd);
      };
      redirect(c.in, O_RDONLY, STDIN_FILENO);
      redirect(c.out, O_WRONLY, STDOUT_FILENO);
      redirect(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
    });
    ASSERT_TRUE(child.started());
    child.typeInBackground(c.input);
    EXPECT_EQ(child.wait(), c.status);
    EXPECT_EQ(readFile("errors").value_or(""), c.errors);
  }
  // Waiting on a non-blocking standard input fails when poll itself fails
  // (here: no descriptors allowed any more, and the wait restarted).
  {
    Child child(dir_.string(), Link::pipes, [] { fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK); });
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.waitFor("What is your option (1-7)? "));
    rlimit none{0, 0};
    prlimit(child.pid(), RLIMIT_NOFILE, &none, nullptr);
    ::kill(child.pid(), SIGSTOP);
    ::kill(child.pid(), SIGCONT);
    // Until the screen closes; a program that spins instead is killed.
    while (child.readMore()) {
    }
    child.kill();
    EXPECT_EQ(child.wait(), 1);
  }
  // Nobody reads the output any more: SIGPIPE, as for cat.
  Child child(dir_.string(), Link::pipes);
  ASSERT_TRUE(child.started());
  child.closeOutput();
  child.type("7\n");
  EXPECT_EQ(child.wait(), -1);
  EXPECT_EQ(child.endSignal(), SIGPIPE);
}

// Promise: the listing and the search treat a ticket file that cannot be
// read like a missing one.
TEST_F(Robustness, UnreadableTicketFiles) {
  const std::string start = "\n\t*** Welcome to Velvarin ***\n";
  struct Case {
    const char* name;
    std::function<void(Robustness&)> make;
  };
  const Case cases[] = {
      {"missing", [](Robustness&) {}},
      {"directory", [](Robustness& t) { std::filesystem::create_directory(t.ticketPath()); }},
      {"endless device",
       [](Robustness& t) { std::filesystem::create_symlink("/dev/zero", t.ticketPath()); }},
      {"dangling link",
       [](Robustness& t) { std::filesystem::create_symlink("nowhere", t.ticketPath()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    c.make(*this);
    ProgramRun run = runVelvarin(dir_.string(), "4\n42\nn\n2\n7\n", {}, 20);
    ASSERT_FALSE(run.timedOut);
    EXPECT_NE(
        run.output.find("Enter booking number: File not found!\nFind another record (y/n)?\n"),
        std::string::npos);
    EXPECT_TRUE(run.output.ends_with("What is your option (1-7)? \nFile not found!"));
    EXPECT_EQ(run.status, 1);
  }
}

// Checks that `records` hold, from `from` on, bookings 1, 2, ... of `who`;
// returns how many.
std::size_t countInOrder(const std::vector<std::string>& records, std::size_t from,
                         const std::string& who) {
  std::size_t n = 0;
  for (std::size_t i = from; i < records.size(); ++i) {
    if (records[i].find("\n" + who + "\n") == std::string::npos) continue;
    EXPECT_TRUE(records[i].starts_with(std::to_string(n + 1) + "\n")) << who << " out of order";
    ++n;
  }
  return n;
}

// Promise: killed at any moment, the file holds only whole records and
// every booking reported stored.
TEST_F(Robustness, KilledAtRandomMoments) {
  std::mt19937 random(20261211);
  const int kills = 40;
  std::size_t recordsBefore = 0;
  for (int round = 0; round < kills; ++round) {
    const std::string who = "round " + std::to_string(round);
    Child child(dir_.string(), Link::pipes);
    ASSERT_TRUE(child.started());
    child.typeInBackground(manyBookings(who, 400));
    // Kill after a random number of reported bookings, a random while later.
    std::size_t reported = 0;
    std::size_t target = random() % 60;
    while (reported < target && child.readMore()) {
      reported = 0;
      for (std::size_t at = child.output().find("sucessful"); at != std::string::npos;
           at = child.output().find("sucessful", at + 1)) {
        ++reported;
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    child.kill();
    child.wait();
    RecordCheck check = checkRecords(readFile("ticket.txt").value_or(""));
    ASSERT_TRUE(check.ok) << "round " << round << ": " << check.why;
    std::size_t stored = countInOrder(check.records, recordsBefore, who);
    EXPECT_GE(stored, reported) << "round " << round << " lost a booking it reported";
    recordsBefore = check.records.size();
  }
  RecordProperty("kills", kills);
  RecordProperty("records", static_cast<int>(recordsBefore));
}

// Promise: operators adding at once never mix their records.
TEST_F(Robustness, SeveralOperatorsAtOnce) {
  const int operators = 4;
  const int each = 2000;
  OperatorsAtWork adding(dir_.string(), operators, each);
  for (const ProgramRun& run : adding.finish()) EXPECT_EQ(run.status, 0);
  RecordCheck check = checkRecords(readFile("ticket.txt").value_or(""));
  ASSERT_TRUE(check.ok) << check.why;
  EXPECT_EQ(check.records.size(), static_cast<std::size_t>(operators * each));
  for (int i = 0; i < operators; ++i) {
    EXPECT_EQ(countInOrder(check.records, 0, "operator " + std::to_string(i)),
              static_cast<std::size_t>(each));
  }
}

// Promise: hand-edited and foreign ticket files are listed byte for byte and
// searched without a shifted field.
TEST_F(Robustness, ForeignTicketFiles) {
  const std::string longName(1536 * 1024, 'L');
  auto found = [](const std::string& no, const std::vector<std::string>& lines) {
    const char* labels[] = {
        "\nName: ",       "Movie name: ", "Movie Schedule : ", "Time: ", "Number of Guests: ",
        "House Number: ", "Type: ",       "Total fee: "};
    std::string shown = "\nRecord found.\n\nBooking number: " + no;
    for (std::size_t i = 0; i < 8; ++i) shown += labels[i] + lines[i];
    return shown;
  };
  const std::vector<std::string> plain = {"A\n", "B\n", "C\n", "1000\n",
                                          "1\n", "2\n", "T\n", "9\n"};
  struct Case {
    const char* name;
    std::string file;
    std::string target;
    std::string shown;
  };
  const Case cases[] = {
      {"line over 1 MiB",
       "1\n" + longName + "\nB\nC\n1000\n1\n2\nT\n9\n\n2\nA\nB\nC\n1000\n1\n2\nT\n9\n\n", "2",
       found("2", plain)},
      {"record cut short", "1\nA\nB\nC\n1000\n1\n2\nT\n9\n\n2\nA\nB", "2",
       found("2", {"A\n", "B\n", "\n", "\n", "\n", "\n", "\n", "\n"})},
      {"no final line break", "3\nA\nB\nC\n1000\n1\n2\nT\n9", "3", found("3", plain)},
      {"NUL bytes and bytes above 127", "4\nJ\0s\xC3\xA9\xff\nB\nC\n1000\n1\n2\nT\n9\n\n"s, "4",
       found("4", {"J\0s\xC3\xA9\xff\n"s, "B\n", "C\n", "1000\n", "1\n", "2\n", "T\n", "9\n"})},
      {"CRLF line ends", "5\r\nA\r\nB\r\nC\r\n1000\r\n1\r\n2\r\nT\r\n9\r\n\r\n", "5",
       found("5", {"A\r\n", "B\r\n", "C\r\n", "1000\r\n", "1\r\n", "2\r\n", "T\r\n", "9\r\n"})},
      {"empty file", "", "1", "\nRecord not found!"},
      {"blank lines only", "\n\n\r\n  \n", "1", "\nRecord not found!"},
  };
  const std::string menuEnd = "What is your option (1-7)? ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("ticket.txt", c.file);
    ProgramRun run = runVelvarin(dir_.string(), "2\n4\n" + c.target + "\nn\n7\n", {}, 60);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find(menuEnd + "\n" + c.file + "\n\n--<:Main Menu:>--"), std::string::npos)
        << "listing differs";
    EXPECT_NE(run.output.find("Enter booking number: " + c.shown + "\nFind another record (y/n)?"),
              std::string::npos)
        << "search differs";
    EXPECT_EQ(readFile("ticket.txt"), c.file);
  }
}

// The input of `trips` main-menu round trips that mix every path, ending
// with the only search that finds nothing.
std::string roundTrips(int trips) {
  std::string input;
  for (int i = 0; i < trips; ++i) {
    if (i % 2000 == 0) {
      input += "1\n" + std::to_string(i / 2000 % 9999 + 1) + "\n" + kBooking + "n\n";
    } else if (i % 2000 == 1000) {
      input += "4\n1\nn\n";
    } else if (i % 500 == 250) {
      input += "2\n";
    } else {
      static const char* const quick[] = {"3\n", "5\n", "6\n6\n", "6 3 2 6\n", "9\n", "x\n"};
      input += quick[i % 6];
    }
  }
  return input + "4\nnone\nn\n";
}

// Runs `trips` round trips through pipes and returns the peak resident
// memory in KiB once they are done, checking that the session ends as it
// started.
long peakAfter(Robustness& t, int trips) {
  std::filesystem::remove(t.ticketPath());
  Child child(t.dir_.string(), Link::pipes);
  child.typeInBackground(roundTrips(trips), false);
  const std::string menu = "\n 7. Quit\n\nWhat is your option (1-7)? ";
  EXPECT_TRUE(child.waitFor("Record not found!", 120000));
  EXPECT_TRUE(child.waitFor(menu));
  long peak = child.peakKiB();
  child.type("7\n");
  EXPECT_TRUE(child.waitFor("See you next time :)"));
  EXPECT_EQ(child.wait(), 0);
  return peak;
}

// Promise: a million round trips end as they started, in flat memory.
TEST_F(Robustness, MillionRoundTripsInFlatMemory) {
  long small = peakAfter(*this, 1000);
  long large = peakAfter(*this, 1000000);
  RecordProperty("peak_kib_after_1000", static_cast<int>(small));
  RecordProperty("peak_kib_after_1000000", static_cast<int>(large));
#ifdef VELVARIN_ASAN
  GTEST_SKIP() << "AddressSanitizer holds freed memory back; memory is measured without it";
#endif
  EXPECT_LT(large - small, 1024) << "peak memory grew from " << small << " KiB to " << large
                                 << " KiB";
}

}  // namespace
