// The writers' protocol: how every program that changes the ticket file
// does so without losing or tearing another writer's bookings.
#ifndef VELVARIN_TICKETS_WRITERS_H_
#define VELVARIN_TICKETS_WRITERS_H_

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

// The outcome of a change to the ticket file.
struct fileStatus {
  int error = 0;  // the errno that stopped the change; 0 once it is made
  [[nodiscard]] bool ok() const { return error == 0; }
};

// The points of the writers' protocol at which tests may act.
enum class writerStep {
  lockBusy,  // another writer holds the lock; this one starts to wait
  locked,    // the lock is held on the file that the path names
  written,   // the record's write has returned, whole or not
};

// The calls through which a writer changes the ticket file. Tests derive
// from it to make a call fail or come up short, or to act at a step.
class fileCalls {
 public:
  virtual ~fileCalls() = default;
  virtual ssize_t write(int fd, const void* data, std::size_t size);
  virtual int fsync(int fd);
  virtual void reached(writerStep step);
};

// How long a writer waits for another to release the lock, and the calls
// it makes (null: the system's own).
struct writerSetup {
  std::chrono::milliseconds lockWait{10000};
  fileCalls* calls = nullptr;
};

// Writes the new content of the ticket file to `newFd`, reading the old one
// from `oldFd`; a status that is not ok leaves the file as it was.
using rewriter = std::function<fileStatus(int oldFd, int newFd)>;

// Replaces the content of the ticket file at `path` as a whole, under the
// writers' lock: readers see the old file or the new one, never a mix.
fileStatus rewriteTicketFile(const std::string& path, const rewriter& transform,
                             const writerSetup& setup = {});

#endif  // VELVARIN_TICKETS_WRITERS_H_
