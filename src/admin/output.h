// A buffered writer to a file descriptor, for the tool's standard output
// and standard error.
#ifndef VELVARIN_ADMIN_OUTPUT_H_
#define VELVARIN_ADMIN_OUTPUT_H_

#include <cstddef>
#include <string>
#include <string_view>

class Output {
 public:
  explicit Output(int fd) : fd_(fd) { buf_.reserve(kBlock); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { flush(); }

  Output& operator<<(std::string_view text) {
    if (buf_.size() + text.size() > kBlock) flush();
    buf_.append(text);
    return *this;
  }
  Output& operator<<(char c) {
    if (buf_.size() >= kBlock) flush();
    buf_.push_back(c);
    return *this;
  }
  // Writes out what is buffered; false once any write has failed.
  bool flush();
  // The errno of the first failed write, or 0.
  [[nodiscard]] int error() const { return error_; }
  [[nodiscard]] int fd() const { return fd_; }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 16;
  int fd_;
  int error_ = 0;
  std::string buf_;
};

#endif  // VELVARIN_ADMIN_OUTPUT_H_
