#include "admin/output.h"

#include <unistd.h>

#include <cerrno>

bool Output::flush() {
  const char* p = buf_.data();
  std::size_t left = error_ == 0 ? buf_.size() : 0;
  while (left > 0) {
    ssize_t n = write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : EIO;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  buf_.clear();
  return error_ == 0;
}
