// report: bookings, guests and takings per movie (or date, house, ...).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "admin/commands.h"
#include "admin/table.h"
#include "admin/text.h"

std::optional<std::int64_t> dayNumber(std::string_view date) {
  auto digits = [&](std::size_t at, std::size_t count) -> std::optional<int> {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
      if (date[i] < '0' || date[i] > '9') return std::nullopt;
      value = value * 10 + (date[i] - '0');
    }
    return value;
  };
  if (date.size() != 10 || date[2] != '-' || date[5] != '-') return std::nullopt;
  std::optional<int> day = digits(0, 2);
  std::optional<int> month = digits(3, 2);
  std::optional<int> year = digits(6, 4);
  if (!day || !month || !year || *month < 1 || *month > 12 || *day < 1) return std::nullopt;
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (*day > kDays[*month - 1] + (*month == 2 && leap ? 1 : 0)) return std::nullopt;
  // Days since 1 March of year 0, so that leap days fall at a year's end.
  const int y = *year - (*month <= 2 ? 1 : 0);
  const int m = *month <= 2 ? *month + 9 : *month - 3;
  return std::int64_t{365} * y + y / 4 - y / 100 + y / 400 + (153 * m + 2) / 5 + *day - 1;
}

namespace {

struct totals {
  std::uint64_t bookings = 0;
  std::int64_t guests = 0;
  std::int64_t fee = 0;
};

// The groups by their text: open addressing with a cheap hash, as a report
// looks up one group per booking.
class groupTable {
 public:
  using group = std::pair<std::string, totals>;

  totals& operator[](std::string_view key) {
    std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash(key) & mask;; i = (i + 1) & mask) {
      if (slots_[i] == kEmpty) {
        if (2 * (groups_.size() + 1) > slots_.size()) {
          grow();
          return (*this)[key];
        }
        slots_[i] = groups_.size();
        groups_.emplace_back(std::string(key), totals{});
        return groups_.back().second;
      }
      if (groups_[slots_[i]].first == key) return groups_[slots_[i]].second;
    }
  }
  [[nodiscard]] const std::vector<group>& groups() const { return groups_; }

 private:
  static constexpr std::size_t kEmpty = SIZE_MAX;

  // The length and the first and last eight bytes, mixed.
  static std::size_t hash(std::string_view key) {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    if (key.size() >= 8) {
      std::memcpy(&head, key.data(), 8);
      std::memcpy(&tail, key.data() + key.size() - 8, 8);
    } else {
      for (char c : key) head = head << 8 | static_cast<unsigned char>(c);
    }
    std::uint64_t h = (head ^ (tail * 0x9E3779B97F4A7C15ULL) ^ key.size()) * 0xFF51AFD7ED558CCDULL;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
  void grow() {
    slots_.assign(slots_.size() * 2, kEmpty);
    std::size_t mask = slots_.size() - 1;
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      std::size_t i = hash(groups_[g].first) & mask;
      while (slots_[i] != kEmpty) i = (i + 1) & mask;
      slots_[i] = g;
    }
  }

  std::vector<std::size_t> slots_ = std::vector<std::size_t>(64, kEmpty);
  std::vector<group> groups_;
};

using group = groupTable::group;

// The order of the groups: by text in byte order, except that dates go by
// the calendar and house and time by number, each before the texts that
// are none.
std::vector<const group*> ordered(const groupTable& groups, field by) {
  std::vector<const group*> order;
  for (const group& g : groups.groups()) order.push_back(&g);
  auto rank = [by](const std::string& key) -> std::optional<std::int64_t> {
    if (by == field::date) return dayNumber(key);
    if (by == field::house || by == field::time) {
      if (std::optional<std::int32_t> n = plainInt32(key)) return *n;
    }
    return std::nullopt;
  };
  std::sort(order.begin(), order.end(), [&](const group* a, const group* b) {
    std::optional<std::int64_t> ra = rank(a->first);
    std::optional<std::int64_t> rb = rank(b->first);
    if (ra && rb && *ra != *rb) return *ra < *rb;
    if (ra.has_value() != rb.has_value()) return ra.has_value();
    return a->first < b->first;
  });
  return order;
}

// The groups of the bookings read, and how many were left out.
class tally : public halfReader {
 public:
  explicit tally(const reportOptions& options)
      : options_(options), by_(static_cast<std::size_t>(options.by)) {}

  bool record(const rawRecord& r) override {
    std::optional<std::int32_t> guests = plainInt32(r[field::guests]);
    std::optional<std::int32_t> fee = plainInt32(r[field::fee]);
    std::optional<std::int64_t> day;
    const bool ranged = options_.from || options_.to;
    if (ranged) day = dayNumber(r[field::date]);
    if (!guests || !fee || (ranged && !day)) {
      ++leftOut;
      return true;
    }
    if ((options_.from && *day < *options_.from) || (options_.to && *day > *options_.to)) {
      return true;
    }
    totals& sums = groups[r.fields[by_]];
    ++sums.bookings;
    sums.guests += *guests;
    sums.fee += *fee;
    return true;
  }
  void gap(std::string_view, std::uint64_t) override {}

  // Adds what `other` counted.
  void take(const tally& other) {
    for (const group& g : other.groups.groups()) {
      totals& sums = groups[g.first];
      sums.bookings += g.second.bookings;
      sums.guests += g.second.guests;
      sums.fee += g.second.fee;
    }
    leftOut += other.leftOut;
  }

  groupTable groups;
  std::uint64_t leftOut = 0;

 private:
  const reportOptions& options_;
  std::size_t by_;
};

// A bar of `eighths` eighths of a column, in Unicode block elements.
std::string bar(std::size_t eighths) {
  static const char* const kParts[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
  std::string drawn;
  for (std::size_t i = 0; i < eighths / 8; ++i) drawn += "█";
  return drawn + kParts[eighths % 8];
}

}  // namespace

int reportTakings(const adminRun& run, const reportOptions& options) {
  uniqueFd fd = run.openForReading();
  if (!fd.isOpen()) return 2;
  const bool ranged = options.from || options.to;
  tally first(options);
  tally second(options);
  halvesRead read = readInHalves(fd.get(), first, second);
  if (read.failed) return run.fileError(EIO);
  if (read.secondLine > 0) first.take(second);
  const groupTable& groups = first.groups;
  const std::uint64_t leftOut = first.leftOut;
  if (leftOut > 0) {
    run.say(std::to_string(leftOut) + (leftOut == 1 ? " booking" : " bookings") +
            " left out: guests or fee not a whole number" +
            (ranged ? ", or show date not a DD-MM-YYYY day" : ""));
  }

  const std::vector<const group*> order = ordered(groups, options.by);
  const std::string name = kFieldNames[static_cast<std::size_t>(options.by)];
  Output& out = run.out;
  if (options.how == format::csv) {
    out << name << ",bookings,guests,fee\r\n";
    for (const group* g : order) {
      writeCsvField(out, g->first);
      out << ',' << std::to_string(g->second.bookings) << ',' << std::to_string(g->second.guests)
          << ',' << std::to_string(g->second.fee) << "\r\n";
    }
  } else if (options.how == format::json) {
    for (const group* g : order) {
      out << "{\"" << name << "\":";
      writeJsonValue(out, g->first);
      out << ",\"bookings\":" << std::to_string(g->second.bookings)
          << ",\"guests\":" << std::to_string(g->second.guests)
          << ",\"fee\":" << std::to_string(g->second.fee) << "}\n";
    }
  } else {
    Table table({{name, false}, {"bookings", true}, {"guests", true}, {"fee", true}});
    totals all;
    std::vector<std::array<std::string, 3>> numbers;
    for (const group* g : order) {
      numbers.push_back({std::to_string(g->second.bookings), std::to_string(g->second.guests),
                         std::to_string(g->second.fee)});
      table.measure({g->first, numbers.back()[0], numbers.back()[1], numbers.back()[2]});
      all.bookings += g->second.bookings;
      all.guests += g->second.guests;
      all.fee += g->second.fee;
    }
    const std::array<std::string, 3> sums = {std::to_string(all.bookings),
                                             std::to_string(all.guests), std::to_string(all.fee)};
    table.measure({"total", sums[0], sums[1], sums[2]});
    // Bars share out what the terminal has left beside the table.
    std::int64_t most = 0;
    for (const group* g : order) most = std::max(most, g->second.fee);
    const std::size_t room =
        options.barColumns > table.width() + 2 ? options.barColumns - table.width() - 2 : 0;
    table.printHeader(out);
    for (std::size_t i = 0; i < order.size(); ++i) {
      std::size_t eighths = 0;
      if (room > 0 && most > 0 && order[i]->second.fee > 0) {
        eighths = static_cast<std::size_t>(static_cast<long double>(order[i]->second.fee) /
                                           static_cast<long double>(most) *
                                           static_cast<long double>(room * 8));
      }
      table.print(out, {order[i]->first, numbers[i][0], numbers[i][1], numbers[i][2]},
                  bar(eighths));
    }
    table.print(out, {"total", sums[0], sums[1], sums[2]});
  }
  return run.finish(0);
}
