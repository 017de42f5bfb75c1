// A file descriptor that closes itself.
#ifndef VELVARIN_TICKETS_UNIQUE_FD_H_
#define VELVARIN_TICKETS_UNIQUE_FD_H_

#include <unistd.h>

#include <utility>

class uniqueFd {
 public:
  uniqueFd() = default;
  explicit uniqueFd(int fd) : fd_(fd) {}
  ~uniqueFd() { reset(); }
  uniqueFd(uniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  uniqueFd& operator=(uniqueFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  uniqueFd(const uniqueFd&) = delete;
  uniqueFd& operator=(const uniqueFd&) = delete;

  [[nodiscard]] int get() const { return fd_; }
  [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
  // Closes the descriptor now; returns close's result (0 when none was open).
  int reset() { return fd_ >= 0 ? close(std::exchange(fd_, -1)) : 0; }

 private:
  int fd_ = -1;
};

#endif  // VELVARIN_TICKETS_UNIQUE_FD_H_
