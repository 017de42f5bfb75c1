// list and find: bookings in file order, in the format asked for.
#include <algorithm>
#include <unordered_set>

#include "admin/bookings.h"
#include "admin/commands.h"

int listBookings(const adminRun& run, format how, const std::vector<std::string>& numbers) {
  uniqueFd fd = run.openForReading();
  if (!fd.isOpen()) return 2;
  const std::unordered_set<std::string_view> wanted(numbers.begin(), numbers.end());
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
  RecordStream stream(fd.get());
  while (const rawRecord* r = stream.next()) {
    if (r->start >= end) break;
    if (!chosen(*r)) continue;
    ++found;
    writer.write(r->line, r->fields);
  }
  if (stream.failed()) return run.fileError(EIO);
  if (!wanted.empty() && found == 0) {
    std::string all;
    for (const std::string& n : numbers) all += (all.empty() ? "" : ", ") + n;
    run.say("no booking numbered " + all);
    return run.finish(1);
  }
  return run.finish(0);
}
