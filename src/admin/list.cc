// list and find: bookings in file order, in the format asked for.
#include <algorithm>
#include <unordered_set>

#include "admin/bookings.h"
#include "admin/commands.h"

namespace {

using wantedSet = std::unordered_set<std::string_view>;

// The bookings of a piece of the file in CSV, which needs no line numbers
// and so can be made ahead of its turn.
class CsvPiece : public halfReader {
 public:
  CsvPiece(Output& out, const wantedSet& wanted) : wanted_(wanted), writer_(out, format::csv) {}

  bool record(const rawRecord& r) override {
    if (!wanted_.empty() && !wanted_.contains(r.fields[0])) return true;
    ++found_;
    writer_.write(r.line, r.fields);
    return true;
  }
  void gap(std::string_view, std::uint64_t) override {}
  [[nodiscard]] std::size_t found() const { return found_; }
  void add(std::size_t found) { found_ += found; }

 protected:
  std::size_t found_ = 0;

 private:
  const wantedSet& wanted_;
  BookingWriter writer_;
};

// Memory for the output of a piece, made before the piece's writer.
struct MadeAhead {
  std::string made;
  Output memory{made};
};

// A piece made ahead in memory, written out once it is the file's.
class CsvPieceAhead : private MadeAhead, public CsvPiece {
 public:
  CsvPieceAhead(CsvPiece& first, Output& out, const wantedSet& wanted)
      : CsvPiece(memory, wanted), first_(first), out_(out) {}

  void begin() override {
    memory.discard();
    made.clear();
    found_ = 0;
  }
  void taken(std::uint64_t) override {
    memory.flush();
    out_ << made;
    first_.add(found_);
  }

 private:
  CsvPiece& first_;
  Output& out_;
};

// The CSV export's pieces: the output of one is kept in memory until its
// turn comes.
constexpr std::uint64_t kCsvPiece = std::uint64_t{2} << 20;

}  // namespace

int listBookings(const adminRun& run, format how, const std::vector<std::string>& numbers) {
  uniqueFd fd = run.openForReading();
  if (!fd.isOpen()) return 2;
  const wantedSet wanted(numbers.begin(), numbers.end());
  auto chosen = [&](const rawRecord& r) { return wanted.empty() || wanted.contains(r.fields[0]); };

  BookingWriter writer(run.out, how);
  // A table is measured in a first pass; the second one stops where the
  // first ended, should bookings be added meanwhile.
  std::uint64_t end = UINT64_MAX;
  std::size_t measured = 0;
  if (how == format::table) {
    RecordStream stream(fd.get());
    while (const rawRecord* r = stream.next()) {
      if (!chosen(*r)) continue;
      ++measured;
      writer.measure(r->line, r->fields);
    }
    if (stream.failed()) return run.fileError(EIO);
    end = stream.size();
  }
  // A table of no bookings is nothing at all; CSV always has its header.
  if (how != format::table || measured > 0) writer.header();
  std::size_t found = 0;
  if (how == format::csv) {
    // Two cores make it, a piece each in turn.
    CsvPiece first(run.out, wanted);
    CsvPieceAhead second(first, run.out, wanted);
    if (readInPieces(fd.get(), first, second, kCsvPiece).failed) return run.fileError(EIO);
    found = first.found();
  } else {
    RecordStream stream(fd.get());
    while (const rawRecord* r = stream.next()) {
      if (r->start >= end) break;
      if (!chosen(*r)) continue;
      ++found;
      writer.write(r->line, r->fields);
    }
    if (stream.failed()) return run.fileError(EIO);
  }
  if (!wanted.empty() && found == 0) {
    std::string all;
    for (const std::string& n : numbers) all += (all.empty() ? "" : ", ") + n;
    run.say("no booking numbered " + all);
    return run.finish(1);
  }
  return run.finish(0);
}
