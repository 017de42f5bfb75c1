// The writers' protocol: every change to the ticket file is made under an
// exclusive flock on the file itself, by a writer that has checked that the
// path still names the file it locked. Appends add one whole record; a
// rewrite replaces the file through a synced temporary file and a rename.
#include "tickets/writers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <thread>

#include "tickets/ticket_file.h"
#include "tickets/unique_fd.h"

ssize_t fileCalls::write(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}
int fileCalls::fsync(int fd) { return ::fsync(fd); }
void fileCalls::reached(writerStep) {}

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// The ticket file, open and locked by this writer.
struct lockedFile {
  uniqueFd fd;
  bool created = false;  // this writer made the file
  int error = 0;
};

lockedFile failure(int error) {
  lockedFile file;
  file.error = error;
  return file;
}

// Opens the ticket file at `path` with `flags`, creating it when `create`
// says so, and takes the writers' lock on it. Waits for another writer at
// most until `deadline`, then fails with EWOULDBLOCK.
lockedFile lockTicketFile(const std::string& path, int flags, bool create,
                          steady_clock::time_point deadline, fileCalls& calls) {
  // O_NONBLOCK keeps a FIFO of that name from hanging the open.
  flags |= O_CLOEXEC | O_NONBLOCK;
  for (;;) {
    lockedFile file;
    file.fd = uniqueFd(open(path.c_str(), flags));
    if (!file.fd.isOpen() && errno == ENOENT && create) {
      file.fd = uniqueFd(open(path.c_str(), flags | O_CREAT | O_EXCL, 0666));
      if (!file.fd.isOpen() && errno == EEXIST) continue;  // another writer was first
      file.created = file.fd.isOpen();
    }
    if (!file.fd.isOpen()) return failure(errno);
    struct stat held {};
    // A booking written to a device or a FIFO could never be read back.
    if (fstat(file.fd.get(), &held) != 0) return failure(errno);
    if (!S_ISREG(held.st_mode)) return failure(EINVAL);

    milliseconds pause{1};
    bool waiting = false;
    while (flock(file.fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) return failure(errno);
      if (!waiting) calls.reached(writerStep::lockBusy);
      waiting = true;
      const auto now = steady_clock::now();
      if (now >= deadline) return failure(EWOULDBLOCK);
      std::this_thread::sleep_for(std::min<steady_clock::duration>(pause, deadline - now));
      pause = std::min(pause * 2, milliseconds{50});
    }

    // While it waited, the file may have been replaced by a rewrite or
    // removed; then the lock guards nothing and the new file is the one.
    struct stat named {};
    if (fstat(file.fd.get(), &held) != 0) return failure(errno);
    const bool found = stat(path.c_str(), &named) == 0;
    if (!found && errno != ENOENT) return failure(errno);
    if (found && named.st_dev == held.st_dev && named.st_ino == held.st_ino && held.st_nlink > 0) {
      calls.reached(writerStep::locked);
      return file;
    }
    if (steady_clock::now() >= deadline) return failure(EWOULDBLOCK);
  }
}

// Syncs the directory that holds `path`, so that a name made or changed in
// it survives a crash. 0 or the errno.
int syncDirectory(const std::string& path, fileCalls& calls) {
  std::size_t slash = path.rfind('/');
  std::string dir =
      slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
  uniqueFd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.isOpen()) return errno;
  // Some file systems cannot sync a directory at all (EINVAL); nothing more
  // can be done there.
  if (calls.fsync(fd.get()) != 0 && errno != EINVAL) return errno;
  return 0;
}

}  // namespace

fileStatus appendRecord(const movRecord& record, const std::string& path,
                        const writerSetup& setup) {
  fileCalls own;
  fileCalls& calls = setup.calls != nullptr ? *setup.calls : own;
  const std::string bytes = formatRecord(record);
  lockedFile file =
      lockTicketFile(path, O_WRONLY | O_APPEND, true, steady_clock::now() + setup.lockWait, calls);
  if (!file.fd.isOpen()) return {file.error};
  const int fd = file.fd.get();

  // One write: continuing a short one would only finish a record that is
  // to be taken back anyway.
  ssize_t n = 0;
  do {
    n = calls.write(fd, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  int error = n < 0 ? errno : 0;
  if (n >= 0 && static_cast<std::size_t>(n) != bytes.size()) error = EIO;
  calls.reached(writerStep::written);
  if (error == 0 && calls.fsync(fd) != 0) error = errno;
  if (error == 0 && file.created) error = syncDirectory(path, calls);
  if (error != 0) {
    // Under the lock nobody else can have appended since: cut exactly this
    // record's bytes back off, and the file this writer made.
    if (n > 0) {
      off_t end = lseek(fd, 0, SEEK_CUR);
      while (end >= n && ftruncate(fd, end - n) != 0 && errno == EINTR) {
      }
    }
    if (file.created) unlink(path.c_str());
    return {error};
  }
  // The record is on stable storage; a failing close (which releases the
  // lock) cannot take that back.
  file.fd.reset();
  return {};
}

fileStatus rewriteTicketFile(const std::string& path, const rewriter& transform,
                             const writerSetup& setup) {
  fileCalls own;
  fileCalls& calls = setup.calls != nullptr ? *setup.calls : own;
  lockedFile file =
      lockTicketFile(path, O_RDONLY, false, steady_clock::now() + setup.lockWait, calls);
  if (!file.fd.isOpen()) return {file.error};
  struct stat old {};
  if (fstat(file.fd.get(), &old) != 0) return {errno};
  // A link stays a link: the file it leads to is the one replaced.
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  if (!real) return {errno};
  const std::string target = real.get();

  // The temporary file has one name, so that a rewrite killed half-way
  // leaves at most one behind, and the next rewrite, holding the lock,
  // clears it away.
  const std::string temp = target + ".velvarin-new";
  if (unlink(temp.c_str()) != 0 && errno != ENOENT) return {errno};
  uniqueFd out(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out.isOpen()) return {errno};
  fileStatus status = transform(file.fd.get(), out.get());
  if (status.ok()) {
    // The new file keeps the old one's owner where this user may set it.
    (void)fchown(out.get(), old.st_uid, old.st_gid);
    if (fchmod(out.get(), old.st_mode & 07777) != 0 || calls.fsync(out.get()) != 0 ||
        out.reset() != 0 || rename(temp.c_str(), target.c_str()) != 0) {
      status.error = errno;
    }
  }
  if (!status.ok()) {
    unlink(temp.c_str());
    return status;
  }
  // The lock is released only now, so that writers that waited find the
  // new file in place and append to it.
  return {syncDirectory(target, calls)};
}
