#include "tickets/ticket_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "scratch_dir.h"
#include "tickets/record_scan.h"
#include "tickets/record_stream.h"

namespace {

using namespace std::string_literals;

movRecord booking(std::int32_t number, const char* name) {
  movRecord r{};
  r.bookingNo = number;
  std::strcpy(r.customerName, name);
  std::strcpy(r.movieName, "Zootopia");
  std::strcpy(r.schedule, "24-12-2026");
  r.time = 1930;
  std::strcpy(r.ticketType, "Adult");
  r.guests = 2;
  r.houseNo = -3;
  r.totalFee = 0;
  return r;
}

const char kFirst[] = "42\nAda Lovelace\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n0\n\n";
const char kSecond[] = "7\nBob\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n0\n\n";

class TicketFileTest : public ScratchDirTest {};

// A one-shot signal between threads.
class Flag {
 public:
  void set() {
    std::lock_guard<std::mutex> hold(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  // False if the flag is still not set after a generous while, so that a
  // writer that never waits fails the test instead of hanging it.
  bool wait() {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(20), [this] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

enum class Fault { none, shortWrite, failedWrite, failedFsync, failedDirectorySync };

// A writer's calls with one fault injected, and an action at one step.
class FaultyCalls : public fileCalls {
 public:
  explicit FaultyCalls(Fault fault = Fault::none) : fault_(fault) {}

  ssize_t write(int fd, const void* data, std::size_t size) override {
    if (fault_ == Fault::failedWrite) {
      errno = ENOSPC;
      return -1;
    }
    // Half the record reaches the file, as when the disk fills up.
    return ::write(fd, data, fault_ == Fault::shortWrite ? size / 2 : size);
  }
  // The first fsync is the file's, the second its directory's.
  int fsync(int fd) override {
    ++fsyncs;
    if ((fault_ == Fault::failedFsync && fsyncs == 1) ||
        (fault_ == Fault::failedDirectorySync && fsyncs == 2)) {
      errno = EIO;
      return -1;
    }
    return ::fsync(fd);
  }
  void reached(writerStep step) override {
    if (step == at && action) std::exchange(action, nullptr)();
  }

  int fsyncs = 0;
  writerStep at = writerStep::locked;
  std::function<void()> action;

 private:
  Fault fault_;
};

writerSetup through(fileCalls& calls, std::chrono::milliseconds wait = std::chrono::seconds(10)) {
  return writerSetup{wait, &calls};
}

// A second operator who adds booking 7 from another thread while the test
// holds the lock or stalls another writer.
class OtherOperator {
 public:
  explicit OtherOperator(std::string path) : path_(std::move(path)) {
    calls_.at = writerStep::lockBusy;
    calls_.action = [this] {
      waited_ = true;
      waitingOrDone_.set();
    };
  }
  ~OtherOperator() {
    if (thread_.joinable()) thread_.join();
  }
  OtherOperator(const OtherOperator&) = delete;
  OtherOperator& operator=(const OtherOperator&) = delete;

  // Starts the booking; true once it waits for the lock, false when it got
  // through without waiting.
  bool start() {
    thread_ = std::thread([this] {
      status_ = appendRecord(booking(7, "Bob"), path_, through(calls_));
      waitingOrDone_.set();
    });
    return waitingOrDone_.wait() && waited_;
  }
  fileStatus finish() {
    thread_.join();
    return status_;
  }

 private:
  std::string path_;
  FaultyCalls calls_;
  Flag waitingOrDone_;
  bool waited_ = false;
  fileStatus status_;
  std::thread thread_;
};

TEST_F(TicketFileTest, AppendCreatesTheFileAndAddsRecordsInOrder) {
  // A booking that makes the file also syncs the directory that holds it.
  FaultyCalls creating;
  ASSERT_TRUE(appendRecord(booking(42, "Ada Lovelace"), ticketPath(), through(creating)).ok());
  EXPECT_EQ(readFile("ticket.txt"), kFirst);
  EXPECT_EQ(creating.fsyncs, 2);
  FaultyCalls appending;
  ASSERT_TRUE(appendRecord(booking(7, "Bob"), ticketPath(), through(appending)).ok());
  EXPECT_EQ(readFile("ticket.txt"), std::string(kFirst) + kSecond);
  EXPECT_EQ(appending.fsyncs, 1);
}

TEST_F(TicketFileTest, FormatWritesNumbersInPlainDecimalWithTheirSign) {
  movRecord r = booking(9999, "");
  r.guests = -2147483647 - 1;
  r.totalFee = -15;
  EXPECT_EQ(formatRecord(r), "9999\n\nZootopia\n24-12-2026\n1930\n-2147483648\n-3\nAdult\n-15\n\n");
}

// Each fault must report failure and leave what stands at the path as it
// was: the same bytes, or still no file at all.
TEST_F(TicketFileTest, FailedAppendLeavesNothingBehind) {
  struct Case {
    const char* name;
    std::function<void(const ScratchDirTest&)> prepare;
    Fault fault;
    std::string path = "ticket.txt";
  };
  auto file = [](const ScratchDirTest& t) { t.writeFile("ticket.txt", kFirst); };
  auto none = [](const ScratchDirTest&) {};
  const Case cases[] = {
      {"directory",
       [](const ScratchDirTest& t) { std::filesystem::create_directory(t.ticketPath()); },
       Fault::none},
      {"link to a device",
       [](const ScratchDirTest& t) {
         std::filesystem::create_symlink("/dev/full", t.ticketPath());
       },
       Fault::none},
      {"no such directory", none, Fault::none, "none/ticket.txt"},
      {"short write", file, Fault::shortWrite},
      {"short write to a new file", none, Fault::shortWrite},
      {"failed write", file, Fault::failedWrite},
      {"failed fsync", file, Fault::failedFsync},
      {"failed fsync of a new file", none, Fault::failedFsync},
      {"failed sync of the directory", none, Fault::failedDirectorySync},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    c.prepare(*this);
    const std::string before = ticketState();
    FaultyCalls calls(c.fault);
    EXPECT_FALSE(appendRecord(booking(1, "X"), path(c.path), through(calls)).ok());
    EXPECT_EQ(ticketState(), before);
  }
}

// Operator A's append is paused right after its write while operator B
// appends: B must wait for A, and whatever happens to A, B's booking stays
// whole and in the file.
TEST_F(TicketFileTest, AnotherOperatorsBookingSurvivesAFailedAppend) {
  const std::string a = "42\nAda\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n0\n\n";
  struct Case {
    const char* name;
    Fault fault;
    bool aStored;
  } cases[] = {
      {"short write", Fault::shortWrite, false},
      {"failed write", Fault::failedWrite, false},
      {"failed fsync", Fault::failedFsync, false},
      {"no fault", Fault::none, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("ticket.txt", "");
    OtherOperator b(ticketPath());
    FaultyCalls aCalls(c.fault);
    aCalls.at = writerStep::written;
    aCalls.action = [&] { EXPECT_TRUE(b.start()) << "B did not wait for A's lock"; };
    EXPECT_EQ(appendRecord(booking(42, "Ada"), ticketPath(), through(aCalls)).ok(), c.aStored);
    EXPECT_TRUE(b.finish().ok());
    EXPECT_EQ(readFile("ticket.txt"), (c.aStored ? a : "") + kSecond);
  }
}

// Takes the writers' lock on the ticket file as another program would;
// releases it when closed.
uniqueFd holdLock(const std::string& path) {
  uniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(flock(fd.get(), LOCK_EX), 0);
  return fd;
}

TEST_F(TicketFileTest, WriterThatWaitedAppendsToTheFileThatReplacedTheOldOne) {
  writeFile("ticket.txt", kFirst);
  std::filesystem::create_hard_link(ticketPath(), path("old.txt"));
  uniqueFd lock = holdLock(ticketPath());
  OtherOperator writer(ticketPath());
  EXPECT_TRUE(writer.start()) << "the writer did not wait for the lock";
  writeFile("new.txt", "1\nNew\n\n\n\n\n\n\n\n\n");
  std::filesystem::rename(path("new.txt"), ticketPath());
  lock.reset();
  EXPECT_TRUE(writer.finish().ok());
  EXPECT_EQ(readFile("ticket.txt"), "1\nNew\n\n\n\n\n\n\n\n\n"s + kSecond);
  EXPECT_EQ(readFile("old.txt"), kFirst);
}

TEST_F(TicketFileTest, LockHeldPastTheWaitLimitFailsCleanly) {
  writeFile("ticket.txt", kFirst);
  uniqueFd lock = holdLock(ticketPath());
  FaultyCalls calls;
  fileStatus status =
      appendRecord(booking(7, "Bob"), ticketPath(), through(calls, std::chrono::milliseconds(50)));
  EXPECT_EQ(status.error, EWOULDBLOCK);
  EXPECT_EQ(readFile("ticket.txt"), kFirst);
  EXPECT_EQ(calls.fsyncs, 0);
}

// Copies the old file and adds `extra`.
rewriter addingText(const std::string& extra) {
  return [extra](int oldFd, int newFd) {
    char block[4096];
    ssize_t n = 0;
    while ((n = read(oldFd, block, sizeof block)) > 0) {
      if (write(newFd, block, static_cast<std::size_t>(n)) != n) return fileStatus{errno};
    }
    if (n < 0 || write(newFd, extra.data(), extra.size()) != static_cast<ssize_t>(extra.size())) {
      return fileStatus{EIO};
    }
    return fileStatus{};
  };
}

TEST_F(TicketFileTest, RewriteReplacesTheFileWholeWhileWritersWait) {
  writeFile("ticket.txt", kFirst);
  std::filesystem::permissions(ticketPath(), std::filesystem::perms(0640));
  uniqueFd reader = openTicketFile(ticketPath());
  // A booking added during the rewrite waits and lands in the new file.
  OtherOperator appender(ticketPath());
  rewriter copy = addingText("more\n");
  fileStatus rewritten = rewriteTicketFile(ticketPath(), [&](int oldFd, int newFd) {
    EXPECT_TRUE(appender.start()) << "the writer did not wait for the lock";
    return copy(oldFd, newFd);
  });
  EXPECT_TRUE(rewritten.ok());
  EXPECT_TRUE(appender.finish().ok());
  EXPECT_EQ(readFile("ticket.txt"), kFirst + "more\n"s + kSecond);
  EXPECT_EQ(std::filesystem::status(ticketPath()).permissions(), std::filesystem::perms(0640));
  // A reader that opened the file before still reads the old one whole.
  char block[256];
  EXPECT_EQ(read(reader.get(), block, sizeof block), static_cast<ssize_t>(sizeof kFirst - 1));
  EXPECT_EQ(std::string(block, sizeof kFirst - 1), kFirst);
}

TEST_F(TicketFileTest, FailedRewriteLeavesTheFileAndNoTemporaryFile) {
  struct Case {
    const char* name;
    Fault fault;
    rewriter transform;
  } cases[] = {
      {"transform fails", Fault::none, [](int, int) { return fileStatus{EIO}; }},
      {"fsync fails", Fault::failedFsync, addingText("more\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("ticket.txt", kFirst);
    FaultyCalls calls(c.fault);
    EXPECT_FALSE(rewriteTicketFile(ticketPath(), c.transform, through(calls)).ok());
    EXPECT_EQ(readFile("ticket.txt"), kFirst);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
  }
  EXPECT_EQ(rewriteTicketFile(path("missing.txt"), addingText("")).error, ENOENT);
}

TEST_F(TicketFileTest, WriteCutShortByFileSizeLimitIsTakenBack) {
  writeFile("ticket.txt", kFirst);
  // The limit lands in the middle of the next record; a child process takes
  // it so that the test process keeps no limit.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{sizeof kFirst + 10, sizeof kFirst + 10};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(appendRecord(booking(7, "Bob"), ticketPath()).ok() ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the short write was reported as success";
  EXPECT_EQ(readFile("ticket.txt"), kFirst);
  ASSERT_TRUE(appendRecord(booking(7, "Bob"), ticketPath()).ok());
  EXPECT_EQ(readFile("ticket.txt"), std::string(kFirst) + kSecond);
}

// Reads every record of `bytes` and joins them: fields by '|', records by '#'.
std::string readBack(const ScratchDirTest& t, const std::string& bytes) {
  t.writeFile("ticket.txt", bytes);
  TicketReader reader(t.ticketPath());
  EXPECT_TRUE(reader.isOpen());
  std::string all;
  while (auto record = reader.readRecord()) {
    for (const std::string& field : *record) all += field + "|";
    all += "#";
  }
  EXPECT_FALSE(reader.failed());
  return all;
}

TEST_F(TicketFileTest, ReadsBackRecordsWhateverTheFileHolds) {
  const std::string longName(300000, 'n');
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"empty", "", ""},
      {"blank lines only", "\n\n \n\t\n", ""},
      {"written records", std::string(kFirst) + kSecond,
       "42|Ada Lovelace\n|Zootopia\n|24-12-2026\n|1930\n|2\n|-3\n|Adult\n|0\n|#"
       "7|Bob\n|Zootopia\n|24-12-2026\n|1930\n|2\n|-3\n|Adult\n|0\n|#"},
      {"empty name kept", "1\n\nM\nS\n1000\n1\n1\nT\n1\n\n",
       "1|\n|M\n|S\n|1000\n|1\n|1\n|T\n|1\n|#"},
      {"cut short at the end", "5\nAnn\nM\n", "5|Ann\n|M\n|\n|\n|\n|\n|\n|\n|#"},
      {"no final line break", "5\nA\nB\nC\nD\nE\nF\nG\nH", "5|A\n|B\n|C\n|D\n|E\n|F\n|G\n|H\n|#"},
      {"rest of the number line dropped", "\n\n  5 extra\nA\nB\nC\nD\nE\nF\nG\nH\n",
       "5|A\n|B\n|C\n|D\n|E\n|F\n|G\n|H\n|#"},
      {"long line shifts nothing",
       "5\n" + longName + "\nB\nC\nD\nE\nF\nG\nH\n\n6\nA\nB\nC\nD\nE\nF\nG\nH\n",
       "5|" + longName + "\n|B\n|C\n|D\n|E\n|F\n|G\n|H\n|#6|A\n|B\n|C\n|D\n|E\n|F\n|G\n|H\n|#"},
      {"odd bytes", "9\r\nA\0\xff\nB\r\nC\nD\nE\nF\nG\nH\n"s,
       "9|A\0\xff\n|B\r\n|C\n|D\n|E\n|F\n|G\n|H\n|#"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(readBack(*this, c.bytes), c.expected);
  }
}

TEST_F(TicketFileTest, MissingOrUnreadableFileIsNotOpen) {
  EXPECT_FALSE(TicketReader(ticketPath()).isOpen());
  std::filesystem::create_directory(ticketPath());
  EXPECT_FALSE(TicketReader(ticketPath()).isOpen());
}

}  // namespace

namespace {

// Every record with booking number `target`, read the simple way: fields
// joined by '|', records ended by '#'.
std::string simpleSearch(const std::string& path, const std::string& target) {
  TicketReader reader(path);
  std::string found;
  while (auto record = reader.readRecord()) {
    if ((*record)[0] != target) continue;
    for (const std::string& field : *record) found += field + "|";
    found += "#";
  }
  return found;
}

// The same through scanBookings, reading `blockSize` bytes at a time, in
// two halves at once if the file has at least `minimum` bytes.
std::string fastSearch(const std::string& path, const std::string& target, std::size_t blockSize,
                       std::uint64_t minimum = UINT64_MAX) {
  uniqueFd fd = openTicketFile(path);
  std::string found;
  std::size_t last = 9;
  scanResult result = scanBookings(
      fd.get(), target,
      [&](std::size_t field, std::string_view piece) {
        if (field != last && last != 9) found += last == 8 ? "|#" : "|";
        last = field;
        found += piece;
      },
      blockSize, minimum);
  if (last != 9) found += "|#";
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.found, static_cast<std::size_t>(std::count(found.begin(), found.end(), '#')));
  return found;
}

TEST_F(TicketFileTest, FastSearchReadsExactlyAsRecordByRecord) {
  const std::string two = std::string(kFirst) + kSecond;
  // The middle of the file falls on the booking number's line of a record
  // with an empty second line.
  const std::string emptyName = "42\n\nM\nD\n1000\n1\n1\nT\n1\n\n";
  const std::string misleadingMiddle =
      std::string(emptyName.size() - 2, '\n') + two + two + emptyName + two + two;
  struct Case {
    const char* name;
    std::string bytes;
    std::string target;
  } cases[] = {
      {"written records", two + two + kFirst, "42"},
      {"other number", two + two, "7"},
      {"no match", two, "4"},
      {"prefix is no match", "420\nA\nB\nC\nD\nE\nF\nG\nH\n\n4\nA\n", "42"},
      {"longer target", two, "4242"},
      {"extra text after the number", "42 x\nA\nB\nC\nD\nE\nF\nG\nH\n\n42\tB\n", "42"},
      {"cut short", two + "42\nAda\nZoo", "42"},
      {"cut in the word", two + "4", "4"},
      {"word at the very end", two + "42", "42"},
      {"no final line break", "42\nA\nB\nC\nD\nE\nF\nG\nH", "42"},
      {"blank lines and spaces", "\n\n  42\nA\n\nC\nD\nE\nF\nG\nH\n \n\r\n42\n", "42"},
      {"CRLF", "42\r\nA\r\nB\r\nC\r\nD\r\nE\r\nF\r\nG\r\nH\r\n\r\n42\r\n", "42"},
      {"long lines",
       "42\n" + std::string(300, 'x') + "\nB\n\n\n\n\n\nH\n\n9\n" + std::string(200, '\n') +
           "42\n" + std::string(150, 'y'),
       "42"},
      {"NUL and high bytes", "42\n\0\xff\xc3\xa9\nB\n\0\nD\nE\nF\nG\nH\n\n"s, "42"},
      // An empty name makes an empty line inside a record, which looks like
      // the start of another to a reader that begins in the middle.
      {"empty line inside a record at the middle", misleadingMiddle, "42"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("ticket.txt", c.bytes);
    const std::string expected = simpleSearch(ticketPath(), c.target);
    // Every block size up to past the longest record, so that records,
    // lines and the word straddle block boundaries at every offset; read
    // whole and read in two halves.
    for (std::uint64_t minimum : {UINT64_MAX, std::uint64_t{0}}) {
      for (std::size_t block = 1; block <= 400; ++block) {
        ASSERT_EQ(fastSearch(ticketPath(), c.target, block, minimum), expected)
            << "block size " << block << ", halves from " << minimum;
      }
      EXPECT_EQ(fastSearch(ticketPath(), c.target, 1 << 20, minimum), expected);
    }
  }
}

TEST_F(TicketFileTest, FastSearchInHalvesKeepsLittleOfWhatMatches) {
  // More matching bookings past the middle than the second half keeps: the
  // first reader must read on and find them all itself.
  std::string bytes;
  while (bytes.size() < (std::size_t{3} << 20)) bytes += kFirst;
  writeFile("ticket.txt", bytes);
  EXPECT_EQ(fastSearch(ticketPath(), "42", 1 << 20, 0), simpleSearch(ticketPath(), "42"));
}

}  // namespace

namespace {

// Every record with its line, span and fields, and every gap, as the record
// stream reads `path` in blocks of `blockSize`; one text to compare.
std::string streamed(const std::string& path, std::size_t blockSize) {
  uniqueFd fd = openTicketFile(path);
  RecordStream stream(fd.get(), blockSize);
  std::string all;
  stream.onGap([&](std::string_view piece, std::uint64_t line) {
    all += "gap@" + std::to_string(line) + "[" + std::string(piece) + "]";
  });
  while (const rawRecord* r = stream.next()) {
    all += "#" + std::to_string(r->line) + "@" + std::to_string(r->start) + "-" +
           std::to_string(r->end) + " lines " + std::to_string(r->lines) +
           (r->ended ? "" : " unended") + " next " + std::to_string(r->next) + " [" +
           std::string(r->lead) + "|" + std::string(r->rest) + "]";
    for (std::string_view f : r->fields) all += "|" + std::string(f);
  }
  EXPECT_FALSE(stream.failed());
  EXPECT_EQ(stream.size(), std::filesystem::file_size(path));
  return all;
}

TEST_F(TicketFileTest, RecordStreamKnowsWhereEachRecordStands) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"empty", "", ""},
      {"written records", std::string(kFirst) + kSecond,
       "#1@0-54 lines 9 next 10 [|]|42|Ada Lovelace|Zootopia|24-12-2026|1930|2|-3|Adult|0"
       "gap@10[\n]"
       "#11@55-99 lines 9 next 10 [|]|7|Bob|Zootopia|24-12-2026|1930|2|-3|Adult|0"
       "gap@20[\n]"},
      {"blank lines, lead and rest", "\n \t\n  5 x\r\nA\nB\nC\nD\nE\nF\nG\nH",
       "gap@1[\n]gap@2[ \t\n]#3@4-26 lines 9 unended next -1 [  | x\r]|5|A|B|C|D|E|F|G|H"},
      {"cut short after a line break", "5\nAnn\nM\n", "#1@0-8 lines 3 next -1 [|]|5|Ann|M||||||"},
      {"cut short inside a line", "5\nA\nB", "#1@0-5 lines 3 unended next -1 [|]|5|A|B||||||"},
      {"only a word", "  77", "#1@0-4 lines 1 unended next -1 [  |]|77||||||||"},
      {"trailing white space", "1\nA\nB\nC\nD\nE\nF\nG\nH\n\n  ",
       "#1@0-18 lines 9 next 10 [|]|1|A|B|C|D|E|F|G|H"
       "gap@10[\n]gap@11[  ]"},
      {"CRLF", "1\r\nA\r\nB\r\nC\r\nD\r\nE\r\nF\r\nG\r\nH\r\n\r\n",
       "#1@0-27 lines 9 next 13 [|\r]|1|A\r|B\r|C\r|D\r|E\r|F\r|G\r|H\r"
       "gap@10[\r\n]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("ticket.txt", c.bytes);
    EXPECT_EQ(streamed(ticketPath(), 1 << 20), c.expected);
  }
}

// The record stream reads exactly what readRecord reads, at every block
// size, whatever the file holds.
TEST_F(TicketFileTest, RecordStreamReadsAsRecordByRecord) {
  const std::string two = std::string(kFirst) + kSecond;
  const std::string files[] = {
      two + two,
      "\n\n  42 x\nA\n\nC\nD\nE\nF\nG\nH\n \n\r\n42\n",
      "42\r\nA\r\nB\r\nC\r\nD\r\nE\r\nF\r\nG\r\nH\r\n\r\n42\r\n",
      "42\n" + std::string(300, 'x') + "\nB\n\n\n\n\n\nH\n\n9\n" + std::string(200, '\n') + "42\n" +
          std::string(150, 'y'),
      "42\n\0\xff\xc3\xa9\nB\n\0\nD\nE\nF\nG\nH\n\n"s,
      two + "4",
  };
  for (const std::string& bytes : files) {
    writeFile("ticket.txt", bytes);
    std::string expected;
    TicketReader reader(ticketPath());
    while (auto record = reader.readRecord()) {
      for (std::size_t i = 0; i < kFields; ++i) {
        std::string_view f = (*record)[i];
        if (i > 0) f.remove_suffix(1);
        expected += std::string(f) + "|";
      }
    }
    const std::string whole = streamed(ticketPath(), 1 << 20);
    for (std::size_t block = 1; block <= 400; ++block) {
      ASSERT_EQ(streamed(ticketPath(), block), whole) << "block size " << block;
    }
    uniqueFd fd = openTicketFile(ticketPath());
    RecordStream stream(fd.get(), 7);
    std::string got;
    while (const rawRecord* r = stream.next()) {
      for (std::string_view f : r->fields) got += std::string(f) + "|";
    }
    EXPECT_EQ(got, expected);
  }
}

}  // namespace

namespace {

// Writes down every record and gap of its half, with line numbers.
class Collector : public halfReader {
 public:
  bool record(const rawRecord& r) override {
    seen.push_back({r.line, r.start, std::string(r.fields[0]) + "|" + std::string(r.fields[8])});
    return true;
  }
  void gap(std::string_view piece, std::uint64_t line) override {
    seen.push_back({line, 0, "gap " + std::string(piece)});
  }
  struct item {
    std::uint64_t line;
    std::uint64_t start;
    std::string text;
    bool operator==(const item&) const = default;
  };
  std::vector<item> seen;
};

// Two readers at once see exactly what one sees alone, whether the second
// one's guess of a record start holds or not.
TEST_F(TicketFileTest, ReadingInHalvesSeesWhatOneReaderSees) {
  std::string many;
  for (int i = 0; i < 300; ++i) many += std::string(kFirst) + kSecond;
  // An empty name makes an empty line inside a record; placed just after
  // the middle, it misleads the second reader, and the first must find out
  // and read on alone.
  const std::string emptyName = "5\n\nM\nD\n1000\n1\n1\nT\n1\n\n";
  struct Case {
    const char* name;
    std::string bytes;
    bool split;  // the second reader's work is kept
  } cases[] = {
      {"records", many, true},
      {"empty line inside a record",
       std::string(emptyName.size() - 2, '\n') + many + emptyName + many, false},
      {"blank lines only", std::string(9000, '\n'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("ticket.txt", c.bytes);
    uniqueFd fd = openTicketFile(ticketPath());
    Collector alone;
    {
      RecordStream stream(fd.get());
      stream.onGap([&](std::string_view piece, std::uint64_t line) { alone.gap(piece, line); });
      while (const rawRecord* r = stream.next()) alone.record(*r);
    }
    Collector first;
    Collector second;
    halvesRead read = readInHalves(fd.get(), first, second, 0);
    EXPECT_FALSE(read.failed);
    EXPECT_EQ(read.secondLine > 0, c.split);
    if (read.secondLine > 0) {
      for (Collector::item i : second.seen) {
        i.line += read.secondLine - 1;
        first.seen.push_back(i);
      }
    }
    EXPECT_TRUE(first.seen == alone.seen);
  }
}

// The reader of pieces ahead: what it read of a piece, once taken, joins
// what the first reader saw.
class PieceCollector : public Collector {
 public:
  explicit PieceCollector(Collector& first) : first_(first) {}
  void begin() override { seen.clear(); }
  void taken(std::uint64_t line) override {
    for (item i : seen) {
      i.line += line - 1;
      first_.seen.push_back(i);
    }
    seen.clear();
    ++pieces;
  }
  std::size_t pieces = 0;

 private:
  Collector& first_;
};

// Records, gaps and lines come out as one reader alone sees them, in
// pieces of any size, however far the second reader got when the first
// arrived, and wherever an empty line inside a record misleads a guess.
TEST_F(TicketFileTest, ReadingInPiecesSeesWhatOneReaderSees) {
  std::string bytes = "\n \n";
  for (int i = 0; i < 400; ++i) {
    bytes += i % 37 == 5 ? "5\n\nM\nD\n1000\n1\n1\nT\n1\n\n" : kFirst;
    if (i % 53 == 0) bytes += "\n\n";
    bytes += kSecond;
  }
  bytes += "7\nCut";
  writeFile("ticket.txt", bytes);
  uniqueFd fd = openTicketFile(ticketPath());
  Collector alone;
  {
    RecordStream stream(fd.get());
    stream.onGap([&](std::string_view piece, std::uint64_t line) { alone.gap(piece, line); });
    while (const rawRecord* r = stream.next()) alone.record(*r);
  }
  std::size_t pieces = 0;
  for (std::uint64_t piece : {1, 7, 64, 100, 333, 1000, 5000, 100000}) {
    SCOPED_TRACE(piece);
    Collector first;
    PieceCollector second(first);
    EXPECT_FALSE(readInPieces(fd.get(), first, second, piece).failed);
    EXPECT_TRUE(first.seen == alone.seen);
    pieces += second.pieces;
  }
  EXPECT_GT(pieces, 0U);
}

}  // namespace
