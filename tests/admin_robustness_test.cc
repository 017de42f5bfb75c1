// What velvarin-admin's rewrites promise under hostile conditions: operators
// appending all the while, kills at any moment, a file-size limit, a full
// disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "record_check.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace {

// Booking `number` as velvarin writes it, with `name` and `fee`.
std::string booking(int number, const std::string& name, int fee = 150) {
  return std::to_string(number) + "\n" + name + "\nZootopia\n24-12-2026\n1930\n2\n3\nAdult\n" +
         std::to_string(fee) + "\n\n";
}

// Starts velvarin-admin with `args` in `dir`, output thrown away;
// `beforeExec` runs in the child first.
pid_t startAdmin(const std::string& dir, const std::vector<std::string>& args,
                 const std::function<void()>& beforeExec = {}) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (beforeExec) beforeExec();
    std::vector<char*> argv{const_cast<char*>(ADMIN_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ADMIN_BINARY, argv.data());
    _exit(127);
  }
  return pid;
}

int waitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class AdminRobustness : public ScratchDirTest {
 public:
  std::size_t temporaryFiles() const {
    std::size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      n += entry.path().filename() != "ticket.txt" ? 1 : 0;
    }
    return n;
  }
};

// Promise: cancelling and amending while operators add bookings loses no
// booking confirmed to an operator, removes only the cancelled ones and
// applies each amendment whole.
TEST_F(AdminRobustness, OperatorsAppendWhileBookingsAreCancelledAndAmended) {
  std::string before;
  for (int n = 5001; n <= 5040; ++n) before += booking(n, "Old");
  writeFile("ticket.txt", before);
  const int operators = 3;
  const int each = 150;
  OperatorsAtWork adding(dir_.string(), operators, each);
  std::vector<int> statuses;
  for (int n = 5001; n <= 5020; ++n) {
    statuses.push_back(runAdmin(dir_.string(), {"cancel", std::to_string(n)}).status);
    statuses.push_back(
        runAdmin(dir_.string(), {"amend", std::to_string(n + 20), "customer=Amended", "fee=999"})
            .status);
  }
  const std::vector<ProgramRun>& runs = adding.finish();
  for (int status : statuses) EXPECT_EQ(status, 0);
  for (const ProgramRun& run : runs) {
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.find("File not found!"), std::string::npos);
  }

  RecordCheck check = checkRecords(readFile("ticket.txt").value_or(""));
  ASSERT_TRUE(check.ok) << check.why;
  EXPECT_EQ(check.records.size(), static_cast<std::size_t>(operators * each + 20));
  std::vector<int> confirmed(operators, 0);
  int amended = 0;
  for (const std::string& record : check.records) {
    int number = std::stoi(record);
    EXPECT_FALSE(number >= 5001 && number <= 5020) << "cancelled booking " << number << " stays";
    if (number > 5020) {
      EXPECT_EQ(record, booking(number, "Amended", 999));
      ++amended;
    }
    for (int i = 0; i < operators; ++i) {
      confirmed[i] += record.find("\noperator " + std::to_string(i) + "\n") != std::string::npos;
    }
  }
  EXPECT_EQ(amended, 20);
  for (int n : confirmed) EXPECT_EQ(n, each);
}

// Promise: a rewrite killed at any moment leaves the old file or the new
// one, and at most one temporary file, which the next rewrite clears.
TEST_F(AdminRobustness, RewritesKilledAtRandomMoments) {
  std::mt19937 random(20261211);
  std::string file;
  for (int n = 1; n <= 20000; ++n) file += booking(n % 9999 + 1, "Name " + std::to_string(n));
  int sawOld = 0;
  int sawNew = 0;
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    writeFile("ticket.txt", file);
    // Booking 5000 stands once among the 20000, as the 4999th.
    const std::string gone = booking(5000, "Name 4999");
    std::string after = file;
    after.erase(after.find(gone), gone.size());
    pid_t admin = startAdmin(dir_.string(), {"cancel", "5000", "--line", "49981"});
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    kill(admin, SIGKILL);
    waitStatus(admin);
    std::string now = readFile("ticket.txt").value_or("");
    ASSERT_TRUE(now == file || now == after) << "a mix of old and new";
    (now == file ? sawOld : sawNew)++;
    EXPECT_LE(temporaryFiles(), 1U);
    // The next rewrite clears what the killed one left.
    EXPECT_EQ(runAdmin(dir_.string(), {"amend", "7", "--line", "51", "fee=1"}).status, 0);
    EXPECT_EQ(temporaryFiles(), 0U);
  }
  RecordProperty("old", sawOld);
  RecordProperty("new", sawNew);
}

// Promise: a rewrite that cannot be written whole (file-size limit, full
// disk) says so with status 2 and leaves the ticket file and no temporary
// file behind.
TEST_F(AdminRobustness, RewriteThatCannotBeWrittenChangesNothing) {
  std::string file;
  for (int n = 1; n <= 200; ++n) file += booking(n, "Name");
  writeFile("ticket.txt", file);
  // SIGXFSZ at its default, as a user's shell leaves it.
  pid_t admin = startAdmin(dir_.string(), {"cancel", "100"}, [&] {
    signal(SIGXFSZ, SIG_DFL);
    rlimit limit{file.size() / 2, file.size() / 2};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(waitStatus(admin), 2);
  EXPECT_EQ(readFile("ticket.txt"), file);
  EXPECT_EQ(temporaryFiles(), 0U);

  const std::string disk = path("disk");
  std::filesystem::create_directory(disk);
  if (mount("velvarin-test", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no small file system to fill: mounting tmpfs needs root";
  }
  std::string big;
  for (int n = 1; n <= 900; ++n) big += booking(n % 9999 + 1, "Name");
  ASSERT_LT(big.size(), 64U * 1024);
  ASSERT_GT(2 * big.size(), 64U * 1024);
  writeFile("disk/ticket.txt", big);
  ProgramRun run = runAdmin(disk, {"cancel", "300"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("No space left on device"), std::string::npos) << run.errors;
  EXPECT_EQ(readFile("disk/ticket.txt"), big);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 1);
  umount(disk.c_str());
}

}  // namespace
