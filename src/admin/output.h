// A buffered writer to a file descriptor, for the tool's standard output
// and standard error, or to memory, for output made ahead of its turn.
#ifndef VELVARIN_ADMIN_OUTPUT_H_
#define VELVARIN_ADMIN_OUTPUT_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

class Output {
 public:
  explicit Output(int fd) : fd_(fd), buf_(new char[kBlock]) {}
  // Appends to `memory` instead.
  explicit Output(std::string& memory) : fd_(-1), memory_(&memory), buf_(new char[kBlock]) {}
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { flush(); }

  Output& operator<<(std::string_view text) {
    if (text.empty()) return *this;  // its data may be null, which memcpy may not take
    if (text.size() > kBlock - size_) return writeLarge(text);
    std::memcpy(buf_.get() + size_, text.data(), text.size());
    size_ += text.size();
    return *this;
  }
  Output& operator<<(char c) {
    if (size_ == kBlock) flush();
    buf_[size_++] = c;
    return *this;
  }
  // Room for `size` bytes (at most a block) at the end of the buffer, to be
  // filled by the caller at once.
  char* claim(std::size_t size) {
    if (size > kBlock - size_) flush();
    char* at = buf_.get() + size_;
    size_ += size;
    return at;
  }
  static constexpr std::size_t kBlock = std::size_t{1} << 16;
  // Writes out what is buffered; false once any write has failed.
  bool flush();
  // Forgets what is buffered and not yet written.
  void discard() { size_ = 0; }
  // The errno of the first failed write, or 0.
  [[nodiscard]] int error() const { return error_; }
  [[nodiscard]] int fd() const { return fd_; }

 private:
  Output& writeLarge(std::string_view text);
  void put(const char* data, std::size_t size);

  int fd_;
  std::string* memory_ = nullptr;
  int error_ = 0;
  std::unique_ptr<char[]> buf_;
  std::size_t size_ = 0;
};

#endif  // VELVARIN_ADMIN_OUTPUT_H_
