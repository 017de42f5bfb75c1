// The operator's console: typed answers in, prompts and messages out.
#ifndef VELVARIN_CONSOLE_CONSOLE_H_
#define VELVARIN_CONSOLE_CONSOLE_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

// Thrown to end the session at once with the given exit status: at the end
// of input, when the console fails, or when a dialogue must stop.
struct SessionEnd {
  int status;
};

class Console {
 public:
  static constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

  // A console on two file descriptors, such as standard input and output.
  Console(int inFd, int outFd);
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Writes `text` as is; output is buffered until input is awaited.
  void print(std::string_view text);
  // Writes `text` followed by a line break.
  void printLine(std::string_view text);
  // Writes out everything buffered. Throws SessionEnd{1} if output fails.
  void flush();
  // Writes out everything buffered at the end of the session; false if the
  // output has failed at any time.
  bool finish();
  // Copies the whole of the open file `fd` to the output after what was
  // printed before. Returns false on a read error.
  bool copyFile(int fd);

  // Every answer below ends the session (SessionEnd) when the input ends
  // before the answer begins: with status 0, or 1 after a read error.

  // Number answer: a decimal integer with optional sign after white space.
  // Returns nullopt for a wrong value (no digits, or too large for 32 bits);
  // the rest of that input line is then discarded.
  std::optional<std::int32_t> readNumber();
  // Word answer: the next run of non-white-space bytes. Keeps at most `limit`
  // bytes, never cutting a UTF-8 character in half; the rest of the word is
  // discarded.
  std::string readWord(std::size_t limit = kNoLimit);
  // Line answer: the bytes up to the next line break, which is consumed.
  // Keeps at most `limit` bytes like readWord; the rest of the line is
  // discarded. A last line without a line break still counts as an answer.
  std::string readLine(std::size_t limit = kNoLimit);
  // Discards input through the next line break, or up to the end of input.
  void discardLine();

  // The first failure to read the input or write the output, such as
  // "standard input: Is a directory"; empty when there was none.
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  // Next input byte, or -1 at the end of input. Flushes before blocking.
  int peek();
  bool refill();
  // Skips white space; ends the session if the input ends first.
  void skipSpace();
  // Puts the cursor on a new line and ends the session.
  [[noreturn]] void endOfInput();
  // Writes `data` out; false once output has failed.
  bool writeOut(const char* data, std::size_t size);
  // writeOut, ending the session on failure.
  void writeOrEnd(const char* data, std::size_t size);
  // Keeps `what` and the current errno as the console's error.
  void fail(std::string_view what);

  int inFd_ = -1;
  int outFd_ = -1;
  const char* next_ = nullptr;
  const char* end_ = nullptr;
  bool inputEnded_ = false;
  bool outputFailed_ = false;
  std::string inBuf_;
  std::string outBuf_;
  std::string error_;
};

// The number of bytes of `text` to keep so that it fits in `limit` bytes
// without splitting a UTF-8 sequence; `text` may run on past `limit`.
std::size_t fitUtf8(std::string_view text, std::size_t limit);

#endif  // VELVARIN_CONSOLE_CONSOLE_H_
