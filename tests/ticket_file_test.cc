#include "tickets/ticket_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "scratch_dir.h"

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

TEST_F(TicketFileTest, AppendCreatesTheFileAndAddsRecordsInOrder) {
  ASSERT_TRUE(appendRecord(booking(42, "Ada Lovelace"), ticketPath()));
  EXPECT_EQ(readFile("ticket.txt"), kFirst);
  ASSERT_TRUE(appendRecord(booking(7, "Bob"), ticketPath()));
  EXPECT_EQ(readFile("ticket.txt"), std::string(kFirst) + kSecond);
}

TEST_F(TicketFileTest, FormatWritesNumbersInPlainDecimalWithTheirSign) {
  movRecord r = booking(9999, "");
  r.guests = -2147483647 - 1;
  r.totalFee = -15;
  EXPECT_EQ(formatRecord(r), "9999\n\nZootopia\n24-12-2026\n1930\n-2147483648\n-3\nAdult\n-15\n\n");
}

// Each fault must leave the file exactly as it was and report failure.
TEST_F(TicketFileTest, FailedAppendLeavesNothingBehind) {
  struct Fault {
    const char* name;
    std::string (*prepare)(const ScratchDirTest&);  // returns the path to append to
  };
  const Fault faults[] = {
      {"directory",
       [](const ScratchDirTest& t) {
         std::filesystem::create_directory(t.ticketPath());
         return t.ticketPath();
       }},
      {"full disk",
       [](const ScratchDirTest& t) {
         std::filesystem::create_symlink("/dev/full", t.ticketPath());
         return t.ticketPath();
       }},
      {"no such directory", [](const ScratchDirTest& t) { return t.path("none/ticket.txt"); }},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    std::string target = fault.prepare(*this);
    EXPECT_FALSE(appendRecord(booking(1, "X"), target));
    EXPECT_FALSE(std::filesystem::is_regular_file(target));
  }
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
    _exit(appendRecord(booking(7, "Bob"), ticketPath()) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the short write was reported as success";
  EXPECT_EQ(readFile("ticket.txt"), kFirst);
  ASSERT_TRUE(appendRecord(booking(7, "Bob"), ticketPath()));
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

// The same through scanBookings, reading `blockSize` bytes at a time.
std::string fastSearch(const std::string& path, const std::string& target, std::size_t blockSize) {
  int fd = openTicketFile(path);
  std::string found;
  std::size_t last = 9;
  scanResult result = scanBookings(
      fd, target,
      [&](std::size_t field, std::string_view piece) {
        if (field != last && last != 9) found += last == 8 ? "|#" : "|";
        last = field;
        found += piece;
      },
      blockSize);
  if (last != 9) found += "|#";
  close(fd);
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.found, static_cast<std::size_t>(std::count(found.begin(), found.end(), '#')));
  return found;
}

TEST_F(TicketFileTest, FastSearchReadsExactlyAsRecordByRecord) {
  const std::string two = std::string(kFirst) + kSecond;
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile("ticket.txt", c.bytes);
    const std::string expected = simpleSearch(ticketPath(), c.target);
    // Every block size up to past the longest record, so that records,
    // lines and the word straddle block boundaries at every offset.
    for (std::size_t block = 1; block <= 400; ++block) {
      ASSERT_EQ(fastSearch(ticketPath(), c.target, block), expected) << "block size " << block;
    }
    EXPECT_EQ(fastSearch(ticketPath(), c.target, 1 << 20), expected);
  }
}

}  // namespace
