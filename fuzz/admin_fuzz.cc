// Arbitrary bytes as a ticket file, through velvarin-admin's list in every
// format, check and report. Nothing may crash; every JSON line must parse
// and CSV must read back to the fields that a plain reading of the file
// gives.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "admin/commands.h"
#include "admin/text.h"
#include "fuzz_dir.h"
#include "in_process.h"
#include "tickets/ticket_file.h"

namespace {

using fields = std::vector<std::string>;

// The records as readRecord reads them, line breaks taken off.
std::vector<fields> plainReading(const std::string& path) {
  std::vector<fields> all;
  TicketReader reader(path);
  while (auto record = reader.readRecord()) {
    fields f;
    for (std::size_t i = 0; i < record->size(); ++i) {
      std::string text = (*record)[i];
      if (i > 0) text.pop_back();
      f.push_back(text);
    }
    all.push_back(f);
  }
  return all;
}

// RFC 4180, as a spreadsheet reads it: rows end with CRLF.
std::vector<fields> parseCsv(std::string_view csv) {
  std::vector<fields> rows;
  fields row;
  std::string cell;
  std::size_t at = 0;
  while (at < csv.size()) {
    if (csv[at] == '"') {
      for (++at;; ++at) {
        if (at >= csv.size()) broken("CSV: a quoted field does not end");
        if (csv[at] == '"') {
          if (at + 1 < csv.size() && csv[at + 1] == '"') {
            cell += '"';
            ++at;
          } else {
            ++at;
            break;
          }
        } else {
          cell += csv[at];
        }
      }
    } else {
      while (at < csv.size() && csv[at] != ',' && csv[at] != '\r') {
        if (csv[at] == '"' || csv[at] == '\n') broken("CSV: a bare quote or line break");
        cell += csv[at++];
      }
    }
    row.push_back(cell);
    cell.clear();
    if (at < csv.size() && csv[at] == ',') {
      ++at;
    } else if (csv.substr(at, 2) == "\r\n") {
      at += 2;
      rows.push_back(row);
      row.clear();
    } else {
      broken("CSV: a field not followed by a comma or CRLF");
    }
  }
  return rows;
}

// What a JSON reader makes of `text`, bytes that are not UTF-8 replaced.
std::string asJsonReads(const std::string& text) {
  return nlohmann::json::parse(
             nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
      .get<std::string>();
}

// Runs `command` with its output in memory; returns that output.
template <typename Command>
std::string outputOf(const std::string& path, Command command) {
  uniqueFd out = memoryFile();
  static const int discard = open("/dev/null", O_WRONLY | O_CLOEXEC);
  Output screen(out.get());
  Output errors(discard);
  adminRun run{path, screen, errors, {}};
  int status = command(run);
  screen.flush();
  if (status < 0 || status > 2) broken("exit status out of range");
  return contentOf(out.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzDir() + "/ticket.txt";
  writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<fields> expected = plainReading(path);
  const char* const names[] = {"booking", "customer", "movie", "date", "time",
                               "guests",  "house",    "type",  "fee"};

  std::vector<fields> rows = parseCsv(
      outputOf(path, [](const adminRun& run) { return listBookings(run, format::csv, {}); }));
  if (rows.empty() || rows.size() - 1 != expected.size()) broken("CSV: rows and records differ");
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (rows[i + 1] != expected[i]) broken("CSV: a field reads back differently");
  }

  const std::string json =
      outputOf(path, [](const adminRun& run) { return listBookings(run, format::json, {}); });
  std::size_t record = 0;
  for (std::size_t at = 0; at < json.size(); ++record) {
    std::size_t end = json.find('\n', at);
    nlohmann::ordered_json object = nlohmann::ordered_json::parse(json.substr(at, end - at));
    at = end + 1;
    if (record >= expected.size() || object.size() != 10) broken("JSON: records differ");
    for (std::size_t f = 0; f < 9; ++f) {
      const std::string& text = expected[record][f];
      const auto& value = object.at(names[f]);
      bool number = plainInt32(text).has_value();
      if (number ? !(value.is_number_integer() && value.get<std::int64_t>() == *plainInt32(text))
                 : !(value.is_string() && value.get<std::string>() == asJsonReads(text))) {
        broken("JSON: a field differs");
      }
    }
  }
  if (record != expected.size()) broken("JSON: lines and records differ");

  outputOf(path, [](const adminRun& run) { return listBookings(run, format::table, {}); });
  outputOf(path, [](const adminRun& run) { return checkFile(run, true); });
  for (field by : {field::movie, field::date, field::house}) {
    for (format how : {format::table, format::csv, format::json}) {
      outputOf(path, [&](const adminRun& run) {
        reportOptions options;
        options.by = by;
        options.how = how;
        options.barColumns = 60;
        return reportTakings(run, options);
      });
    }
  }
  return 0;
}
