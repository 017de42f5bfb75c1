// velvarin-admin: the manager's tool for the ticket file: list, find,
// cancel, amend, check and report.
#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "admin/commands.h"

namespace {

const std::map<std::string, format> kFormats = {
    {"table", format::table}, {"csv", format::csv}, {"json", format::json}};

const std::vector<std::string> kReportFields = {"movie", "date",     "house",
                                                "type",  "customer", "time"};

// The columns of the terminal on standard output, or 0 when it is none.
std::size_t terminalColumns() {
  if (isatty(STDOUT_FILENO) == 0) return 0;
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

CLI::Option* addFormat(CLI::App* command, std::string& value) {
  return command->add_option("--format", value, "table (for people), csv or json (JSON Lines)")
      ->check(CLI::IsMember({"table", "csv", "json"}))
      ->capture_default_str();
}

}  // namespace

namespace {

int run(int argc, char** argv) {
  // Past the file-size limit a write fails (EFBIG) and the rewrite is given
  // up cleanly, instead of the process dying half-way.
  std::signal(SIGXFSZ, SIG_IGN);

  CLI::App app{
      "velvarin-admin: cancel and correct bookings in velvarin's ticket file, check it, "
      "export it and report the takings.",
      "velvarin-admin"};
  app.set_version_flag("--version", "velvarin-admin " VELVARIN_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  std::string file = "ticket.txt";
  app.add_option("-f,--file", file, "the ticket file")->capture_default_str();

  std::string listFormat = "table";
  CLI::App* list = app.add_subcommand("list", "every booking, in file order");
  addFormat(list, listFormat);

  std::vector<std::string> findNumbers;
  std::string findFormat = "table";
  CLI::App* find = app.add_subcommand("find", "the bookings with one of these booking numbers");
  find->add_option("NUMBER", findNumbers, "booking numbers, compared as text")->required();
  addFormat(find, findFormat);

  std::string cancelNumber;
  std::uint64_t cancelLine = 0;
  bool cancelAll = false;
  bool dryRun = false;
  std::string cancelFormat = "table";
  CLI::App* cancel = app.add_subcommand("cancel", "remove a booking from the ticket file");
  cancel->add_option("NUMBER", cancelNumber, "its booking number")->required();
  CLI::Option* cancelAt =
      cancel->add_option("--line", cancelLine, "the one whose number stands on line N");
  CLI::Option* every = cancel->add_flag("--all", cancelAll, "every booking with that number");
  cancelAt->excludes(every);
  cancel->add_flag("--dry-run", dryRun, "show what would be removed; change nothing");
  addFormat(cancel, cancelFormat);

  std::string amendNumber;
  std::uint64_t amendLine = 0;
  std::vector<std::string> changes;
  std::string amendFormat = "table";
  CLI::App* amend = app.add_subcommand("amend", "change fields of a booking");
  amend->add_option("NUMBER", amendNumber, "its booking number")->required();
  CLI::Option* amendAt =
      amend->add_option("--line", amendLine, "the one whose number stands on line N");
  amend
      ->add_option("FIELD=VALUE", changes,
                   "booking, customer, movie, date, time, guests, house, type or fee, and its "
                   "new value")
      ->required();
  addFormat(amend, amendFormat);

  bool duplicates = false;
  CLI::App* check = app.add_subcommand("check", "report what velvarin would never have written");
  check->add_flag("--duplicates", duplicates, "also warn of booking numbers used twice");

  std::string by = "movie";
  std::string from;
  std::string to;
  std::string reportFormat = "table";
  CLI::App* report = app.add_subcommand("report", "bookings, guests and takings per group");
  report->add_option("--by", by, "movie, date, house, type, customer or time")
      ->check(CLI::IsMember(kReportFields))
      ->capture_default_str();
  report->add_option("--from", from, "only shows on or after this day, DD-MM-YYYY");
  report->add_option("--to", to, "only shows on or before this day, DD-MM-YYYY");
  addFormat(report, reportFormat);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
    std::cerr << "velvarin-admin: " << e.what() << "\n"
              << "Try 'velvarin-admin --help' for more information.\n";
    return 2;
  }

  Output out(STDOUT_FILENO);
  Output err(STDERR_FILENO);
  adminRun run{file, out, err, {}};
  auto pickOf = [](const CLI::Option* line, std::uint64_t value, bool all) {
    pick which;
    if (line->count() > 0) which.line = value;
    which.all = all;
    return which;
  };

  if (list->parsed()) return listBookings(run, kFormats.at(listFormat), {});
  if (find->parsed()) return listBookings(run, kFormats.at(findFormat), findNumbers);
  if (cancel->parsed()) {
    return cancelBooking(run, cancelNumber, pickOf(cancelAt, cancelLine, cancelAll), dryRun,
                         kFormats.at(cancelFormat));
  }
  if (amend->parsed()) {
    return amendBooking(run, amendNumber, pickOf(amendAt, amendLine, false), changes,
                        kFormats.at(amendFormat));
  }
  if (check->parsed()) return checkFile(run, duplicates);

  reportOptions options;
  options.by = *fieldNamed(by);
  options.how = kFormats.at(reportFormat);
  for (auto [text, day, name] :
       {std::tuple{&from, &options.from, "--from"}, std::tuple{&to, &options.to, "--to"}}) {
    if (text->empty()) continue;
    *day = dayNumber(*text);
    if (!*day) {
      run.say(std::string(name) + " '" + *text + "' is not a day written DD-MM-YYYY");
      return 2;
    }
  }
  if (options.how == format::table) options.barColumns = terminalColumns();
  return reportTakings(run, options);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    // Out of memory, say: a message and the status of a failure.
    std::cerr << "velvarin-admin: " << e.what() << '\n';
    return 2;
  }
}
