// velvarin-admin as the manager runs it: arguments in; standard output,
// standard error, exit status and the ticket file's bytes out.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "admin/commands.h"
#include "admin/output.h"
#include "admin/text.h"
#include "in_process.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace {

using namespace std::string_literals;

const std::string kAda = "42\nAda Lovelace\nZootopia\n24-12-2026\n1930\n2\n3\nAdult\n150\n\n";
const std::string kBob = "7\nBob, \"B\"\nIT\n01-01-2026\n1000\n1\n1\nVIP\n10\n\n";
const std::string kJo = "42\nJos\xC3\xA9\nZootopia\n25-12-2026\n2000\n4\n3\nChild\n90\n\n";
const std::string kThree = kAda + kBob + kJo;

// A hand-edited file: CRLF lines, a number with text after it, a long
// name, a NUL, bytes that are not UTF-8, blank lines, a record cut short.
const std::string kEdited =
    "\n5 x\r\nAnn\r\nIT\r\n01-01-2026\r\n0900\r\n+1\r\n2\r\nVIP\r\n-0\r\n\r\n\n" + "6\n"s +
    std::string(30, 'N') + "\nM\0V\n02-13-2026\n1000\n1\n1\nTwo words\n5\n"s +
    "9\nBad\xFF\nIT\n03-03-2026\n1100\n1\n1\nT\n7\n\n" + "10\nCut\nIT";

struct Case {
  const char* name;
  std::string file;
  std::vector<std::string> args;
  std::string output;
  int status;
  bool errors;                       // something on standard error
  std::optional<std::string> after;  // the file after, if it changed
};

const Case kCases[] = {
    // Listing.
    {"ListTable",
     kThree,
     {"list"},
     "line  booking  customer      movie     date        time  guests  house  type   fee\n"
     "   1       42  Ada Lovelace  Zootopia  24-12-2026  1930       2      3  Adult  150\n"
     "  11        7  Bob, \"B\"      IT        01-01-2026  1000       1      1  VIP     10\n"
     "  21       42  Jos\xC3\xA9          Zootopia  25-12-2026  2000       4      3  Child   90\n",
     0,
     false,
     {}},
    {"ListCsvQuotesOnlyWhatItMust",
     kThree,
     {"list", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "42,Ada Lovelace,Zootopia,24-12-2026,1930,2,3,Adult,150\r\n"
     "7,\"Bob, \"\"B\"\"\",IT,01-01-2026,1000,1,1,VIP,10\r\n"
     "42,Jos\xC3\xA9,Zootopia,25-12-2026,2000,4,3,Child,90\r\n",
     0,
     false,
     {}},
    {"ListJsonNumbersAndStrings",
     kEdited,
     {"list", "--format", "json"},
     "{\"line\":2,\"booking\":5,\"customer\":\"Ann\\r\",\"movie\":\"IT\\r\",\"date\":"
     "\"01-01-2026\\r\",\"time\":\"0900\\r\",\"guests\":\"+1\\r\",\"house\":\"2\\r\",\"type\":"
     "\"VIP\\r\",\"fee\":\"-0\\r\"}\n"
     "{\"line\":13,\"booking\":6,\"customer\":\"" +
         std::string(30, 'N') +
         "\",\"movie\":\"M\\u0000V\",\"date\":\"02-13-2026\",\"time\":1000,\"guests\":1,"
         "\"house\":1,\"type\":\"Two words\",\"fee\":5}\n"
         "{\"line\":22,\"booking\":9,\"customer\":\"Bad\xEF\xBF\xBD\",\"movie\":\"IT\",\"date\":"
         "\"03-03-2026\",\"time\":1100,\"guests\":1,\"house\":1,\"type\":\"T\",\"fee\":7}\n"
         "{\"line\":32,\"booking\":10,\"customer\":\"Cut\",\"movie\":\"IT\",\"date\":\"\","
         "\"time\":\"\",\"guests\":\"\",\"house\":\"\",\"type\":\"\",\"fee\":\"\"}\n",
     0,
     false,
     {}},
    {"ListEmptyFile", "", {"list"}, "", 0, false, {}},
    {"ListEmptyFileAsCsvHasItsHeader",
     "",
     {"list", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n",
     0,
     false,
     {}},
    {"FindComparesText",
     kThree + "0042\nZ\nIT\n01-01-2026\n1000\n1\n1\nT\n1\n\n",
     {"find", "0042", "7", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "7,\"Bob, \"\"B\"\"\",IT,01-01-2026,1000,1,1,VIP,10\r\n"
     "0042,Z,IT,01-01-2026,1000,1,1,T,1\r\n",
     0,
     false,
     {}},
    {"FindNothing", kThree, {"find", "43"}, "", 1, true, {}},

    // Cancelling.
    {"CancelTheOnlyOne",
     kThree,
     {"cancel", "7", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "7,\"Bob, \"\"B\"\"\",IT,01-01-2026,1000,1,1,VIP,10\r\n",
     0,
     false,
     kAda + kJo},
    {"CancelAmongSeveralNeedsALine", kThree, {"cancel", "42"}, "", 1, true, {}},
    {"CancelByLine",
     kThree,
     {"cancel", "42", "--line", "21", "--format", "json"},
     "{\"line\":21,\"booking\":42,\"customer\":\"Jos\xC3\xA9\",\"movie\":\"Zootopia\",\"date\":"
     "\"25-12-2026\",\"time\":2000,\"guests\":4,\"house\":3,\"type\":\"Child\",\"fee\":90}\n",
     0,
     false,
     kAda + kBob},
    {"CancelByAWrongLine", kThree, {"cancel", "42", "--line", "11"}, "", 1, true, {}},
    {"CancelAll",
     kThree,
     {"cancel", "42", "--all", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "42,Ada Lovelace,Zootopia,24-12-2026,1930,2,3,Adult,150\r\n"
     "42,Jos\xC3\xA9,Zootopia,25-12-2026,2000,4,3,Child,90\r\n",
     0,
     false,
     kBob},
    {"CancelDryRunChangesNothing",
     kThree,
     {"cancel", "7", "--dry-run", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "7,\"Bob, \"\"B\"\"\",IT,01-01-2026,1000,1,1,VIP,10\r\n",
     0,
     false,
     {}},
    {"CancelKeepsEveryOtherByte",
     kEdited,
     {"cancel", "6", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "6," +
         std::string(30, 'N') + ",M\0V,02-13-2026,1000,1,1,Two words,5\r\n"s,
     0,
     false,
     "\n5 x\r\nAnn\r\nIT\r\n01-01-2026\r\n0900\r\n+1\r\n2\r\nVIP\r\n-0\r\n\r\n\n"
     "9\nBad\xFF\nIT\n03-03-2026\n1100\n1\n1\nT\n7\n\n10\nCut\nIT"},
    {"CancelARecordCutShort",
     kEdited,
     {"cancel", "10", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n10,Cut,IT,,,,,,\r\n",
     0,
     false,
     kEdited.substr(0, kEdited.size() - 9)},
    {"CancelMissingFile", "<none>", {"cancel", "7"}, "", 2, true, {}},

    // Amending.
    {"AmendNamedFieldsOnly",
     kThree,
     {"amend", "7", "customer=Bob Smith", "fee=+0200", "booking=0008", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "8,Bob Smith,IT,01-01-2026,1000,1,1,VIP,200\r\n",
     0,
     false,
     kAda + "8\nBob Smith\nIT\n01-01-2026\n1000\n1\n1\nVIP\n200\n\n" + kJo},
    {"AmendKeepsTheOtherLinesOfAHandEditedRecord",
     kEdited,
     {"amend", "5", "time=1200", "--format", "csv"},
     "booking,customer,movie,date,time,guests,house,type,fee\r\n"
     "5,\"Ann\r\",\"IT\r\",\"01-01-2026\r\",1200,\"+1\r\",\"2\r\",\"VIP\r\",\"-0\r\"\r\n",
     0,
     false,
     "\n5 x\r\nAnn\r\nIT\r\n01-01-2026\r\n1200\n+1\r\n2\r\nVIP\r\n-0\r\n\r\n\n" +
         kEdited.substr(kEdited.find("6\n"))},
    {"AmendAmongSeveralNeedsALine", kThree, {"amend", "42", "fee=1"}, "", 1, true, {}},
    {"AmendRefusesWhatDoesNotFit", kThree, {"amend", "7", "booking=10000"}, "", 2, true, {}},
    {"AmendRefusesALongName",
     kThree,
     {"amend", "7", "customer=" + std::string(30, 'x')},
     "",
     2,
     true,
     {}},
    {"AmendRefusesATypeOfTwoWords", kThree, {"amend", "7", "type=two words"}, "", 2, true, {}},
    {"AmendRefusesAnUnknownField", kThree, {"amend", "7", "seat=4"}, "", 2, true, {}},
    {"AmendRefusesAMissingLine", kEdited, {"amend", "10", "fee=1"}, "", 2, true, {}},

    // Checking.
    {"CheckCleanFile", kThree, {"check"}, "", 0, false, {}},
    {"CheckReportsEverythingInLineOrder",
     kEdited,
     {"check"},
     "ticket.txt:2: more than the booking number on its line\n"
     "ticket.txt:2: line ends in CR\n"
     "ticket.txt:3: line ends in CR\n"
     "ticket.txt:4: line ends in CR\n"
     "ticket.txt:5: line ends in CR\n"
     "ticket.txt:6: show time '0900' is not 1000 to 2300 in plain decimal\n"
     "ticket.txt:6: line ends in CR\n"
     "ticket.txt:7: number of guests '+1' is not a 32-bit integer in plain decimal\n"
     "ticket.txt:7: line ends in CR\n"
     "ticket.txt:8: line ends in CR\n"
     "ticket.txt:9: line ends in CR\n"
     "ticket.txt:10: total fee '-0' is not a 32-bit integer in plain decimal\n"
     "ticket.txt:10: line ends in CR\n"
     "ticket.txt:11: line ends in CR\n"
     "ticket.txt:12: booking not followed by exactly one empty line\n"
     "ticket.txt:14: customer name is 30 bytes long, over 29\n"
     "ticket.txt:15: NUL byte\n"
     "ticket.txt:20: ticket type 'Two words' holds white space\n"
     "ticket.txt:22: booking not followed by exactly one empty line\n"
     "ticket.txt:23: bytes that are not valid UTF-8\n"
     "ticket.txt:34: booking cut short by the end of the file\n"
     "ticket.txt:34: last line has no line break\n",
     1,
     false,
     {}},
    // Otherwise sound bookings whose ticket type alone is wrong.
    {"CheckTicketTypeWithWhiteSpace",
     "1\nAda\nIT\n01-01-2026\n1000\n1\n1\nTwo words\n5\n\n"
     "2\nBo\nIT\n01-01-2026\n1000\n1\n1\nThirty-one-bytes-ending-in-tab\t\n5\n\n",
     {"check"},
     "ticket.txt:8: ticket type 'Two words' holds white space\n"
     "ticket.txt:18: ticket type 'Thirty-one-bytes-ending-in-tab^I' holds white space\n",
     1,
     false,
     {}},
    {"CheckDuplicatesWarnsOnly",
     kThree,
     {"check", "--duplicates"},
     "ticket.txt:21: warning: booking number 42 used before, at line 1\n",
     0,
     false,
     {}},
    {"CheckMissingEmptyLineAtTheEnd",
     kAda.substr(0, kAda.size() - 1),
     {"check"},
     "ticket.txt:9: booking not followed by exactly one empty line\n",
     1,
     false,
     {}},

    // Reporting.
    {"ReportByMovie",
     kThree,
     {"report"},
     "movie     bookings  guests  fee\n"
     "IT               1       1   10\n"
     "Zootopia         2       6  240\n"
     "total            3       7  250\n",
     0,
     false,
     {}},
    {"ReportByDateGoesByTheCalendar",
     kThree + "1\nA\nIT\n31-12-2025\n1000\n1\n1\nT\n5\n\n2\nA\nIT\nsoon\n1000\n1\n1\nT\n5\n\n",
     {"report", "--by", "date", "--format", "csv"},
     "date,bookings,guests,fee\r\n31-12-2025,1,1,5\r\n01-01-2026,1,1,10\r\n24-12-2026,1,2,150\r\n"
     "25-12-2026,1,4,90\r\nsoon,1,1,5\r\n",
     0,
     false,
     {}},
    {"ReportByHouseGoesByNumber",
     kThree + "1\nA\nIT\n31-12-2025\n1000\n1\n10\nT\n5\n\n",
     {"report", "--by", "house", "--format", "json"},
     "{\"house\":1,\"bookings\":1,\"guests\":1,\"fee\":10}\n"
     "{\"house\":3,\"bookings\":2,\"guests\":6,\"fee\":240}\n"
     "{\"house\":10,\"bookings\":1,\"guests\":1,\"fee\":5}\n",
     0,
     false,
     {}},
    {"ReportWithinDatesLeavesOutWhatItCannotCount",
     kThree + "1\nA\nIT\nsoon\n1000\n1\n1\nT\n5\n\n2\nA\nIT\n24-12-2026\n1000\n1\n1\nT\nfree\n\n",
     {"report", "--from", "24-12-2026", "--to", "24-12-2026", "--format", "csv"},
     "movie,bookings,guests,fee\r\nZootopia,1,2,150\r\n",
     0,
     true,
     {}},
    {"ReportRefusesABadDay", kThree, {"report", "--from", "29-02-2026"}, "", 2, true, {}},

    // The command line.
    {"Version", kThree, {"--version"}, "velvarin-admin 1.1.0\n", 0, false, {}},
    {"UnknownCommand", kThree, {"delete", "7"}, "", 2, true, {}},
    {"UnknownFormat", kThree, {"list", "--format", "xml"}, "", 2, true, {}},
    {"LineAndAllTogether", kThree, {"cancel", "42", "--all", "--line", "1"}, "", 2, true, {}},
    {"OtherFile", kThree, {"-f", "other.txt", "list"}, "", 2, true, {}},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Commands : public ScratchDirTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Commands, BehaveByteForByte) {
  const Case& c = GetParam();
  if (c.file != "<none>") writeFile("ticket.txt", c.file);
  ProgramRun run = runAdmin(dir_.string(), c.args);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.output, c.output);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(!run.errors.empty(), c.errors) << run.errors;
  if (!run.errors.empty()) {
    EXPECT_TRUE(run.errors.starts_with("velvarin-admin: ")) << run.errors;
  }
  std::optional<std::string> before;
  if (c.file != "<none>") before = c.file;
  EXPECT_EQ(readFile("ticket.txt"), c.after ? c.after : before);
  // Nothing is left beside the ticket file.
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, c.file == "<none>" ? 0U : 1U);
}

INSTANTIATE_TEST_SUITE_P(Admin, Commands, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

class AdminFiles : public ScratchDirTest {};

TEST_F(AdminFiles, ChangesAreShownWithTheirLinesOnStandardError) {
  writeFile("ticket.txt", kThree);
  ProgramRun run = runAdmin(dir_.string(), {"cancel", "42"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("ticket.txt:1: booking 42\nticket.txt:21: booking 42\n"),
            std::string::npos)
      << run.errors;
}

TEST_F(AdminFiles, RewriteKeepsALinkAndThePermissions) {
  std::filesystem::create_directory(path("data"));
  writeFile("data/real.txt", kThree);
  std::filesystem::permissions(path("data/real.txt"), std::filesystem::perms(0640));
  std::filesystem::create_symlink("data/real.txt", ticketPath());
  ProgramRun run = runAdmin(dir_.string(), {"cancel", "7"});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(std::filesystem::is_symlink(ticketPath()));
  EXPECT_EQ(readFile("data/real.txt"), kAda + kJo);
  EXPECT_EQ(std::filesystem::status(path("data/real.txt")).permissions(),
            std::filesystem::perms(0640));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("data")), {}), 1);
}

TEST_F(AdminFiles, LeftoverTemporaryFileIsClearedByTheNextRewrite) {
  writeFile("ticket.txt", kThree);
  writeFile("ticket.txt.velvarin-new", "half a rewrite");
  ProgramRun run = runAdmin(dir_.string(), {"cancel", "7"});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(readFile("ticket.txt"), kAda + kJo);
  EXPECT_FALSE(std::filesystem::exists(path("ticket.txt.velvarin-new")));
}

// Each number of an otherwise sound booking at the edges of what is taken:
// check says what is wrong with it, and nothing about what is right.
TEST_F(AdminFiles, CheckTellsEachNumberRightOrWrong) {
  struct Value {
    std::size_t line;  // 0 for the booking number, 4 for the show time, ...
    const char* text;
    bool right;
  } values[] = {
      {0, "1", true},          {0, "9999", true},       {0, "0", false},
      {0, "01", false},        {0, "10000", false},     {0, "-1", false},
      {0, "4a", false},        {4, "1000", true},       {4, "2300", true},
      {4, "0999", false},      {4, "999", false},       {4, "2301", false},
      {4, "1a00", false},      {4, "10000", false},     {4, "+100", false},
      {5, "0", true},          {5, "-5", true},         {5, "123456789", true},
      {5, "1234567890", true}, {5, "2147483647", true}, {5, "-2147483648", true},
      {5, "01", false},        {5, "-0", false},        {5, "2147483648", false},
      {5, "+1", false},        {5, "1x", false},        {5, "", false},
      {6, "000000000", false}, {6, "99999999", true},   {8, "-2147483649", false},
      {8, "12 ", false},       {8, "1.5", false},       {8, "987654321", true},
  };
  const char* const names[] = {
      "booking number", "", "",         "", "show time", "number of guests",
      "house number",   "", "total fee"};
  std::string file;
  std::string expected;
  std::size_t first = 1;  // the line of the record's booking number
  for (const Value& v : values) {
    std::vector<std::string> lines = {"42", "Ada", "Zootopia", "24-12-2026", "1930",
                                      "2",  "3",   "Adult",    "150"};
    lines[v.line] = v.text;
    for (const std::string& line : lines) file += line + "\n";
    file += "\n";
    if (!v.right) {
      expected += "ticket.txt:" + std::to_string(first + v.line) + ": " + names[v.line] + " '" +
                  v.text + "' is not " +
                  (v.line == 0   ? "1 to 9999"
                   : v.line == 4 ? "1000 to 2300"
                                 : "a 32-bit integer") +
                  " in plain decimal\n";
    }
    first += 10;
  }
  writeFile("ticket.txt", file);
  ProgramRun run = runAdmin(dir_.string(), {"check"});
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(run.status, 1);
}

// A large file is exported in pieces by two threads at once; it must come
// out as if read in one go, whatever falls at the pieces' edges.
TEST_F(AdminFiles, LargeFileIsExportedAsInOneGo) {
  const std::string base = kThree + "5\n\nM\nD\n1000\n1\n1\nT\n1\n\n\n" +
                           "8\r\nCR\r\nIT\r\n01-01-2026\r\n1000\r\n1\r\n1\r\nVIP\r\n10\r\n\r\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"list", "--format", "csv"},
        std::vector<std::string>{"find", "42", "8", "--format", "csv"}}) {
    writeFile("ticket.txt", base);
    ProgramRun small = runAdmin(dir_.string(), args);
    ASSERT_EQ(small.status, 0) << small.errors;
    const std::size_t header = small.output.find("\r\n") + 2;
    std::string file;
    std::string expected = small.output.substr(0, header);
    while (file.size() < (std::size_t{9} << 20)) {
      file += base;
      expected += small.output.substr(header);
    }
    writeFile("ticket.txt", file);
    ProgramRun large = runAdmin(dir_.string(), args, 300);
    EXPECT_EQ(large.status, 0) << large.errors;
    EXPECT_TRUE(large.output == expected) << "output differs for " << args[0];
  }
}

// A large file is checked in two halves at once; it must say just what a
// check in one go says (as --duplicates does, warnings aside).
TEST_F(AdminFiles, LargeFileIsCheckedAsInOneGo) {
  std::string file;
  for (int n = 1; n <= 320000; ++n) {
    std::string record = kAda;
    record.replace(0, 2, std::to_string(n % 9999 + 1));
    if (n % 40000 == 7) record.replace(record.find("1930"), 4, "0930");
    if (n % 50000 == 3) record.pop_back();
    file += record;
  }
  ASSERT_GT(file.size(), std::size_t{16} << 20);
  writeFile("ticket.txt", file);
  ProgramRun halves = runAdmin(dir_.string(), {"check"}, 300);
  ProgramRun whole = runAdmin(dir_.string(), {"check", "--duplicates"}, 300);
  std::string problems;
  for (std::size_t at = 0; at < whole.output.size();) {
    std::size_t end = whole.output.find('\n', at) + 1;
    std::string line = whole.output.substr(at, end - at);
    if (line.find(": warning: ") == std::string::npos) problems += line;
    at = end;
  }
  EXPECT_EQ(halves.status, 1);
  EXPECT_NE(halves.output.find("0930"), std::string::npos);
  EXPECT_EQ(halves.output, problems);
}

// On a terminal the report draws a bar per group, its length in
// proportion to the group's takings, within the terminal's width.
TEST_F(AdminFiles, ReportDrawsBarsToFitTheTerminal) {
  writeFile("ticket.txt", kThree + "1\nA\nIT\n01-01-2026\n1000\n1\n1\nT\n-500\n\n");
  uniqueFd screen = memoryFile();
  uniqueFd said = memoryFile();
  Output out(screen.get());
  Output errors(said.get());
  adminRun run{ticketPath(), out, errors, {}};
  reportOptions options;
  options.barColumns = 60;
  ASSERT_EQ(reportTakings(run, options), 0);
  out.flush();
  std::vector<std::string> lines;
  std::string all = contentOf(screen.get());
  for (std::size_t at = 0; at < all.size();) {
    std::size_t end = all.find('\n', at);
    lines.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), 4U);
  // Zootopia takes 240, the most: its bar fills what the table leaves.
  EXPECT_TRUE(lines[2].starts_with("Zootopia")) << lines[2];
  EXPECT_EQ(displayWidth(lines[2]), 60U) << lines[2];
  EXPECT_NE(lines[2].find("\u2588\u2588"), std::string::npos);
  // IT's takings are below nothing (-490): no bar at all.
  EXPECT_EQ(lines[1].find("\u2588"), std::string::npos) << lines[1];
  EXPECT_TRUE(lines[3].starts_with("total")) << lines[3];
}

}  // namespace

namespace {

// The byte checks look at many bytes at a time; a character at a time,
// they must say the same, wherever a character falls among those bytes.
TEST(AdminText, ByteChecksAgreeWithACharacterAtATime) {
  const std::vector<std::string> pieces = {"a",
                                           "Zootopia",
                                           " ",
                                           "\n",
                                           ",",
                                           "\"",
                                           "\r",
                                           "\0"s,
                                           "\xC3\xA9",
                                           "\xE2\x82\xAC",
                                           "\xF0\x9F\x98\x80",
                                           "\x80",
                                           "\xC0\xAF",
                                           "\xED\xA0\x80",
                                           "\xE2\x82",
                                           "\xF4\x90\x80\x80",
                                           "\xFF"};
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const std::size_t size = random() % 120;
    while (text.size() < size) {
      // Mostly plain letters, as in real files, so that runs pass 32 bytes.
      text += random() % 4 != 0 ? "x" : pieces[random() % pieces.size()];
    }
    bool utf8 = true;
    forEachCharacter(text, [&](std::int32_t codePoint, std::size_t) { utf8 &= codePoint >= 0; });
    const bool clean = utf8 && text.find_first_of("\0\r"s) == std::string::npos;
    const bool csv = text.find_first_of(",\"\r") == std::string::npos;
    ASSERT_EQ(isUtf8(text), utf8) << testing::PrintToString(text);
    ASSERT_EQ(cleanText(text), clean) << testing::PrintToString(text);
    ASSERT_EQ(csvPlainLines(text), csv) << testing::PrintToString(text);
  }
}

}  // namespace
