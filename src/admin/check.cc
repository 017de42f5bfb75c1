// check: everything in the ticket file that velvarin would never have
// written, one problem a line as FILE:LINE: message, in line order.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "admin/commands.h"
#include "admin/text.h"
#include "text/white_space.h"

namespace {

// Checks records in file order and says what it finds: at once, or, for
// the second half of a file read in two at once, kept until the first half
// is told.
class Checker : public halfReader {
 public:
  Checker(const adminRun& run, bool duplicates, bool keep)
      : run_(run), duplicates_(duplicates), keep_(keep) {
    if (duplicates_) firstUse_.assign(10000, 0);
  }

  // White space between records, a line (or the file's last bytes) at a
  // time.
  void gap(std::string_view piece, std::uint64_t line) override {
    // The empty line after a booking, as it mostly is: nothing to look at.
    if (piece == "\n" && separator_ == expect::empty) {
      separator_ = expect::nothing;
      return;
    }
    bytes(piece, line);
    if (piece.back() != '\n') {
      report(line, "last line has no line break");
    } else if (separator_ == expect::empty && (piece == "\n" || piece == "\r\n")) {
      // A CR was told above; the line is the empty one all the same.
      separator_ = expect::nothing;
      return;
    }
    if (separator_ != expect::none) report(line, "booking not followed by exactly one empty line");
    separator_ = expect::none;
  }

  bool record(const rawRecord& r) override {
    if (separator_ == expect::empty) {
      report(r.line, "booking not followed by exactly one empty line");
    }
    const std::uint64_t last = r.line + r.lines - 1;
    // Most records hold no byte to look at more closely, and only their
    // values need a look.
    const char* from = r.lead.data();
    const char* to = r.fields[r.lines - 1].data() + r.fields[r.lines - 1].size();
    const bool plain =
        r.lines == 9 && cleanText(std::string_view(from, static_cast<std::size_t>(to - from)));
    const bool valuesFine = r.lines == 9 && fine(r);
    if (plain && valuesFine && !duplicates_) {
      // A booking as velvarin writes it: nothing to say.
      separator_ = expect::empty;
      lastLine_ = last;
      return true;
    }
    for (unsigned i = 0; i < r.lines; ++i) {
      const std::uint64_t line = r.line + i;
      if (i == 0) {
        bookingLine(r, plain, valuesFine);
      } else {
        if (!valuesFine) value(static_cast<field>(i), r.fields[i], line);
        if (!plain) bytes(r.fields[i], line);
      }
    }
    if (r.lines < 9) report(last, "booking cut short by the end of the file");
    if (!r.ended) report(last, "last line has no line break");
    separator_ = r.lines == 9 && r.ended ? expect::empty : expect::none;
    lastLine_ = last;
    // What is kept stays small; past that the first reader reads on.
    return kept_.size() < (std::size_t{1} << 20);
  }

  // The end of the file.
  void end() {
    if (separator_ == expect::empty) {
      report(lastLine_, "booking not followed by exactly one empty line");
    }
  }

  [[nodiscard]] bool found() const { return errors_ > 0; }

  // Says what `later`, which checked the second half from its line 1 on,
  // kept; `line` is where that half began in the file.
  void take(const Checker& later, std::uint64_t line) {
    errors_ += later.errors_;
    for (std::size_t at = 0; at < later.kept_.size();) {
      std::size_t colon = later.kept_.find(':', at);
      std::size_t stop = later.kept_.find('\n', colon);
      say(std::stoull(later.kept_.substr(at, colon - at)) + line - 1,
          std::string_view(later.kept_).substr(colon + 1, stop - colon - 1));
      at = stop + 1;
    }
  }

 private:
  enum class expect {
    none,     // nothing in particular
    empty,    // the empty line that ends a booking
    nothing,  // no more blank lines after that empty line
  };

  void report(std::uint64_t line, std::string_view message) {
    ++errors_;
    warn(line, message);
  }
  void warn(std::uint64_t line, std::string_view message) {
    if (keep_) {
      kept_.append(std::to_string(line)).append(":").append(message).append("\n");
    } else {
      say(line, message);
    }
  }
  void say(std::uint64_t line, std::string_view message) {
    run_.out << run_.file << ':' << std::to_string(line) << ": " << message << '\n';
  }

  static std::string quoted(std::string_view text) {
    std::string shown(1, '\'');
    shown.append(printable(text)).push_back('\'');
    return shown;
  }

  // Whether every value of a whole record is as velvarin writes it, the
  // common case, told at little cost.
  static bool fine(const rawRecord& r) {
    // A number of up to nine digits with no leading zero is a 32-bit
    // integer as velvarin writes it; others are asked about in full.
    auto integer = [](std::string_view text) {
      return (text.size() <= 9 && !text.empty() && (text[0] != '0' || text.size() == 1) &&
              allDigits(text)) ||
             writtenInt32(text);
    };
    const std::string_view booking = r[field::booking];
    const std::string_view time = r[field::time];
    if (booking.empty() || booking.size() > 4 || booking[0] == '0' || !allDigits(booking) ||
        time.size() != 4 || !allDigits(time) || !showTime(time) || !r.lead.empty() ||
        !r.rest.empty() || !integer(r[field::guests]) || !integer(r[field::house]) ||
        !integer(r[field::fee]) || r[field::customer].size() > 29 || r[field::movie].size() > 29 ||
        r[field::date].size() > 15 || r[field::type].size() > 31) {
      return false;
    }
    return !holdsWhiteSpace(r[field::type]);
  }

  // Whether four digits are a time from 1000 to 2300: digits of one length
  // compare as their values do, and four bytes at once as a number.
  static bool showTime(std::string_view digits) {
    auto byte = [&](std::size_t i) { return std::uint32_t{static_cast<unsigned char>(digits[i])}; };
    const std::uint32_t number = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    return number >= 0x31303030 && number <= 0x32333030;  // "1000" and "2300"
  }

  // Whether `text`, at most 16 bytes long, is all decimal digits.
  static bool allDigits(std::string_view text) {
#if defined(__x86_64__)
    // cppcheck-suppress knownConditionTrueFalse
    static_assert(kReadPast >= 16);
    const __m128i past = _mm_sub_epi8(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data())), _mm_set1_epi8('0'));
    const auto digits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(past, _mm_set1_epi8(9)), past)));
    const unsigned wanted = (1U << text.size()) - 1;
    return (digits & wanted) == wanted;
#else
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
#endif
  }

  // Whether `text`, at most 31 bytes long, holds white space.
  static bool holdsWhiteSpace(std::string_view text) {
#if defined(__x86_64__)
    // cppcheck-suppress knownConditionTrueFalse
    static_assert(kReadPast >= 32);
    const unsigned spaces = whiteSpaceMask16(text.data()) | whiteSpaceMask16(text.data() + 16)
                                                                << 16;
    return (spaces & ((1U << text.size()) - 1)) != 0;
#else
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return isWhiteSpace(static_cast<unsigned char>(c)); });
#endif
  }

  void bookingLine(const rawRecord& r, bool plain, bool valuesFine) {
    std::string_view word = r.fields[0];
    std::optional<std::int32_t> number = writtenInt32(word);
    if (!valuesFine && (!number || *number < 1 || *number > 9999)) {
      report(r.line, "booking number " + quoted(word) + " is not 1 to 9999 in plain decimal");
    }
    std::string_view rest = r.rest;
    if (rest.ends_with('\r')) rest.remove_suffix(1);
    if (!valuesFine && (!r.lead.empty() || !rest.empty())) {
      report(r.line, "more than the booking number on its line");
    }
    if (duplicates_ && number && *number >= 1 && *number <= 9999) {
      std::uint64_t& first = firstUse_[static_cast<std::size_t>(*number)];
      if (first == 0) {
        first = r.line;
      } else {
        warn(r.line, "warning: booking number " + std::string(word) + " used before, at line " +
                         std::to_string(first));
      }
    }
    if (!plain) {
      // The line as it stands, for the checks of its bytes.
      std::string line(r.lead);
      line.append(word).append(r.rest);
      bytes(line, r.line);
    }
  }

  // What a field's text must be; a CR at the end is told apart.
  void value(field f, std::string_view text, std::uint64_t line) {
    if (text.ends_with('\r')) text.remove_suffix(1);
    auto width = [&](std::string_view what, std::size_t most) {
      if (text.size() > most) {
        report(line, std::string(what) + " is " + std::to_string(text.size()) +
                         " bytes long, over " + std::to_string(most));
      }
    };
    auto integer = [&](std::string_view what) {
      if (!writtenInt32(text)) {
        report(line, std::string(what) + " " + quoted(text) +
                         " is not a 32-bit integer in plain decimal");
      }
    };
    switch (f) {
      case field::customer:
        width("customer name", 29);
        break;
      case field::movie:
        width("movie name", 29);
        break;
      case field::date:
        width("show date", 15);
        break;
      case field::time: {
        std::optional<std::int32_t> time = writtenInt32(text);
        if (!time || *time < 1000 || *time > 2300) {
          report(line, "show time " + quoted(text) + " is not 1000 to 2300 in plain decimal");
        }
        break;
      }
      case field::guests:
        integer("number of guests");
        break;
      case field::house:
        integer("house number");
        break;
      case field::type:
        width("ticket type", 31);
        for (char c : text) {
          if (isWhiteSpace(static_cast<unsigned char>(c))) {
            report(line, "ticket type " + quoted(text) + " holds white space");
            break;
          }
        }
        break;
      case field::fee:
        integer("total fee");
        break;
      case field::booking:
        break;
    }
  }

  // What no line may hold, whatever its field.
  void bytes(std::string_view text, std::uint64_t line) {
    std::string_view body = text.ends_with('\n') ? text.substr(0, text.size() - 1) : text;
    if (body.ends_with('\r')) report(line, "line ends in CR");
    if (cleanText(body)) return;
    if (body.find('\0') != std::string_view::npos) report(line, "NUL byte");
    if (!isUtf8(body)) report(line, "bytes that are not valid UTF-8");
  }

  const adminRun& run_;
  bool duplicates_;
  bool keep_;
  std::string kept_;                     // "LINE:message\n" each, when kept
  std::vector<std::uint64_t> firstUse_;  // by booking number: the line it first stands on
  expect separator_ = expect::none;
  std::uint64_t lastLine_ = 0;
  std::size_t errors_ = 0;
};

}  // namespace

int checkFile(const adminRun& run, bool duplicates) {
  uniqueFd fd = run.openForReading();
  if (!fd.isOpen()) return 2;
  Checker first(run, duplicates, false);
  Checker second(run, duplicates, true);
  // A number used before can have been used in the other half, so the
  // duplicates are looked for in one go.
  halvesRead read =
      readInHalves(fd.get(), first, second, duplicates ? UINT64_MAX : std::uint64_t{16} << 20);
  if (read.failed) return run.fileError(EIO);
  if (read.secondLine > 0) {
    second.end();
    first.take(second, read.secondLine);
  } else {
    first.end();
  }
  return run.finish(first.found() ? 1 : 0);
}
