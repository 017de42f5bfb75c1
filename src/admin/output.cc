#include "admin/output.h"

#include <unistd.h>

#include <cerrno>

namespace {

// Writes all of `data`; the errno of a failure, or 0.
int writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

void Output::put(const char* data, std::size_t size) {
  if (memory_ != nullptr) {
    memory_->append(data, size);
  } else if (error_ == 0) {
    error_ = writeAll(fd_, data, size);
  }
}

bool Output::flush() {
  put(buf_.get(), size_);
  size_ = 0;
  return error_ == 0;
}

Output& Output::writeLarge(std::string_view text) {
  flush();
  if (text.size() >= kBlock) {
    put(text.data(), text.size());
  } else {
    std::memcpy(buf_.get(), text.data(), text.size());
    size_ = text.size();
  }
  return *this;
}
