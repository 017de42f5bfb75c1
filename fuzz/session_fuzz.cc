// Arbitrary bytes as a whole session's input, optionally after a ticket file
// that the fuzzer shapes too. The session must end, and everything it adds
// to the ticket file must be whole bookings, one per success message.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_dir.h"
#include "in_process.h"
#include "record_check.h"

namespace {

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string ticket = fuzzDir() + "/ticket.txt";
  std::filesystem::remove(ticket);
  // The first byte gives the length of the ticket file to start from; 0 for
  // none.
  std::string before;
  if (!bytes.empty()) {
    std::size_t length = static_cast<unsigned char>(bytes[0]);
    bytes.remove_prefix(1);
    if (length > 0) {
      before = std::string(bytes.substr(0, length - 1));
      bytes.remove_prefix(before.size());
      writeBytes(ticket, before);
    }
  }

  SessionRun run = runInProcess(ticket, bytes);

  bool stopped = run.output.size() >= 15 && run.output.ends_with("File not found!");
  if (run.status != 0 && !(run.status == 1 && stopped)) broken("unexpected exit status");
  std::string after = std::filesystem::exists(ticket) ? readBytes(ticket) : "";
  if (after.compare(0, before.size(), before) != 0) broken("the bookings already stored changed");
  RecordCheck added = checkRecords(std::string_view(after).substr(before.size()));
  if (!added.ok) broken(added.why);
  // The listing and the search echo stored bytes; only when those cannot
  // hold the message does every message stand for one stored booking.
  const std::string_view stored = "Record insert sucessful!";
  if (after.find(stored) == std::string::npos &&
      added.records.size() != count(run.output, stored)) {
    broken("bookings stored and success messages differ");
  }
  return 0;
}
