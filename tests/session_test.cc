// Whole sessions of the built program: input bytes in; output bytes, exit
// status and the ticket file's bytes out.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "run_program.h"
#include "scratch_dir.h"

namespace {

using namespace std::string_literals;

// The screen texts, written out here independently of the program.
const std::string kBanner = "\n\t*** Welcome to Velvarin ***\n";
const std::string kMenu =
    "\n\n--<:Main Menu:>--\n"
    "\n 1. Add New Movie Ticketing Record(s)\n"
    "\n 2. Display All Movie Ticketing Records\n"
    "\n 3. Modify Movie Ticketing Record(s)\n"
    "\n 4. Search Movie Ticketing Record(s)\n"
    "\n 5. Delete Movie Ticketing Record(s)\n"
    "\n 6. All Movies\n"
    "\n 7. Quit\n"
    "\nWhat is your option (1-7)? ";
const std::string kStart = kBanner + kMenu;
const std::string kBye = "See you next time :)";
const std::string kBadChoice = "Please select a correct number (1-7)!";

const std::string kAskNo = "Enter Movie Booking Number (XXXX): ";
const std::string kReNo = "Re-enter Movie Booking Number! It should be between 0001 to 9999!: ";
const std::string kAskTexts =
    "Enter Name of Customer: Enter Name of Movie: Enter Movie Schedule (DD-MM-YYYY): ";
const std::string kAskTime = "Enter Time (XXXX): ";
const std::string kReTime =
    "Re-enetr Time! It should be in 24-hour format and between 1000 to 2300!: ";
const std::string kAskGuests = "Enter Number of Guests: ";
const std::string kAskHouse = "Enter House Number: ";
const std::string kAskType = "Enter Ticket Type: ";
const std::string kAskFee = "Enter Total Fee: ";
const std::string kAllPrompts =
    kAskNo + kAskTexts + kAskTime + kAskGuests + kAskHouse + kAskType + kAskFee;
const std::string kStored = "Record insert sucessful!\n";
const std::string kAddAgain = "Add another record (y/n)?";
const std::string kYesNo = "Please select (y) or (n)!\n";
const std::string kNotFoundFile = "File not found!";

const std::string kAskTarget = "Enter booking number: ";
const std::string kFindAgain = "\nFind another record (y/n)?";
const std::string kNoMatch = "\nRecord not found!";

const std::string kGenres =
    "\nChoose a type of movie:\n\n1.Action movie\n2.War movie\n3.Sci-fi movie\n"
    "4.Horror movie\n5.Animated movie\n6.Back to main menu\n\nWhat is your option (1-6)? ";
const std::string kBadGenre = "Please select a correct number (1-6)!";
const std::string kAnother = "Choose another type of movie select (2)\n";
const std::string kBack = "\nBack to main menu select (1)\n";
const std::string kAction =
    "\n1.The Equalizer\n2.Mad Max: Fury Road\n3.John Wick 3\n\nBack to main menu (1)\n" + kAnother;
const std::string kWar =
    "\n1.Saving Private Ryan\n2.Un long dimanche de fiancailles\n3.Braveheart\n" + kBack + kAnother;
const std::string kSciFi =
    "\n1.Avengers:EndGame\n2.Captain Marvel\n3.Spider-Man:Far From Home\n" + kBack + kAnother;
const std::string kHorror = "\n1.IT\n2.Get Out\n3.The Witch\n" + kBack + kAnother;
const std::string kAnimated = "\n1.Inside Out\n2.Zootopia\n3.Finding Nemo\n" + kBack + kAnother;

// A stored record: its ten lines.
std::string record(const std::string& no, const std::string& name = "Ada",
                   const std::string& time = "1930") {
  return no + "\n" + name + "\nZootopia\n24-12-2026\n" + time + "\n2\n-3\nAdult\n150\n\n";
}
// The answers that store record(no, name, time) from the booking-number line on.
std::string answers(const std::string& no, const std::string& name = "Ada",
                    const std::string& time = "1930") {
  return no + "\n" + name + "\nZootopia\n24-12-2026\n" + time + "\n2\n-3\nAdult\n150\n";
}
// What the search shows of record(no, name).
std::string shown(const std::string& no, const std::string& name = "Ada") {
  return "\nRecord found.\n\nBooking number: " + no + "\nName: " + name +
         "\nMovie name: Zootopia\nMovie Schedule : 24-12-2026\nTime: 1930\n"
         "Number of Guests: 2\nHouse Number: -3\nType: Adult\nTotal fee: 150\n";
}

std::string repeat(const std::string& s, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

const std::string kDirectory = "<directory>";

struct Session {
  const char* name;
  std::optional<std::string> ticketBefore;  // kDirectory for a directory
  std::string input;
  std::string output;
  int status;
  std::optional<std::string> ticketAfter;  // nullopt: no ticket file at the end
};

// The program's whole screen output for a booking typed as answers(no...).
std::string booked() { return kAllPrompts + kStored + kAddAgain; }

const std::string kFiveRecords =
    record("11") + record("12") + record("42", "Grace Hopper") + record("14") + record("15");

const Session kSessions[] = {
    // Main menu.
    {"QuitAtOnce", {}, "7\n", kStart + kBye, 0, {}},
    {"EndOfInputAtMenu", {}, "", kStart + "\n", 0, {}},
    {"EndOfInputAfterAChoiceWithoutLineBreak", {}, "3", kStart + kMenu + "\n", 0, {}},
    {"WrongChoices",
     {},
     "0\n8\n-1\nabc\n99999999999 7\n+7\n",
     kStart + repeat(kBadChoice + kMenu, 5) + kBye,
     0,
     {}},
    {"ModifyAndDeleteDoNothing", record("1"), "3\n5\n7\n", kStart + kMenu + kMenu + kBye, 0,
     record("1")},
    {"TypeAheadChoices", {}, "3 5 7\n", kStart + kMenu + kMenu + kBye, 0, {}},

    // Listing.
    {"ListingWithoutFileStops", {}, "2\n7\n", kStart + "\n" + kNotFoundFile, 1, {}},
    {"ListingOfDirectoryStops", kDirectory, "2\n7\n", kStart + "\n" + kNotFoundFile, 1, kDirectory},
    {"ListingOfEmptyFile", "", "2\n7\n", kStart + "\n" + kMenu + kBye, 0, ""},
    {"ListingCopiesEveryByte", record("1") + "2\nJos\xC3\xA9\0\xff\r\nlast"s, "2\n2\n7\n",
     kStart + "\n" + record("1") + "2\nJos\xC3\xA9\0\xff\r\nlast"s + kMenu + "\n" + record("1") +
         "2\nJos\xC3\xA9\0\xff\r\nlast"s + kMenu + kBye,
     0, record("1") + "2\nJos\xC3\xA9\0\xff\r\nlast"s},

    // Adding.
    {"AddOneBooking",
     {},
     "1\n0042 rest of line\nAda\nZootopia\n24-12-2026\n1930\n2\n-3\nAdult\n150\nn\n7\n",
     kStart + booked() + "\n" + kStart + kBye,
     0,
     record("42")},
    {"AddRejectsValuesOutOfRange",
     {},
     "1\n0\n-5\n10000\nx y\n99999999999\n1\nAda\nZootopia\n24-12-2026\n999\n2301\nnoon\n"
     "1075\n2\n-3\nAdult\n150\nn\n7\n",
     kStart + kAskNo + repeat(kReNo, 5) + kAskTexts + kAskTime + repeat(kReTime, 3) + kAskGuests +
         kAskHouse + kAskType + kAskFee + kStored + kAddAgain + "\n" + kStart + kBye,
     0,
     record("1", "Ada", "1075")},
    {"AddAsksNumbersAgainUntilTheyAreNumbers",
     {},
     "1\n9999\nAda\nZootopia\n24-12-2026\n2300\ntwo\n2\n-\n-3\nAdult\nfee\n150\nn\n7\n",
     kStart + kAskNo + kAskTexts + kAskTime + kAskGuests + kAskGuests + kAskHouse + kAskHouse +
         kAskType + kAskFee + kAskFee + kStored + kAddAgain + "\n" + kStart + kBye,
     0,
     record("9999", "Ada", "2300")},
    {"AddAnotherAfterAWrongAnswer", record("5"),
     "1\n" + answers("6") + "Y\nyes\n" + answers("7", "Bob Smith") + "nope\n7\n",
     kStart + booked() + kYesNo + kAddAgain + "\n" + booked() + "\n" + kStart + kBye, 0,
     record("5") + record("6") + record("7", "Bob Smith")},
    {"AddStoresEmptyNameAndFieldsWithSpaces",
     {},
     "1\n3\n\nThe Lord of the Rings\n24 12 2026\n1000\n0\n0\nVIP\n-20\nn\n7\n",
     kStart + booked() + "\n" + kStart + kBye,
     0,
     "3\n\nThe Lord of the Rings\n24 12 2026\n1000\n0\n0\nVIP\n-20\n\n"},
    {"AddCutsLongAnswersToTheirFields",
     {},
     "1\n8\nAnna-Maria Magdalena Stromberg-Larsen\n1234567890123456789012345678\xC3\xA9\n"
     "24-12-2026 evening show\n1200\n1\n1\nStudentDiscountWithPopcornAndDrinks 12\nn\n7\n",
     kStart + booked() + "\n" + kStart + kBye,
     0,
     "8\nAnna-Maria Magdalena Stromber\n1234567890123456789012345678\n24-12-2026 even\n1200\n1\n1\n"
     "StudentDiscountWithPopcornAndDr\n12\n\n"},
    {"EndOfInputInTheMiddleOfABookingStoresNothing", record("1"), "1\n5\nAda\nZootopia\n",
     kStart + kAskNo + kAskTexts + "\n", 0, record("1")},
    {"EndOfInputAtTheFollowUpKeepsTheBooking",
     {},
     "1\n" + answers("5"),
     kStart + booked() + "\n",
     0,
     record("5")},
    {"AddToUnwritableFileSaysSoAndGoesOn", kDirectory, "1\n" + answers("5") + "n\n7\n",
     kStart + kAllPrompts + kNotFoundFile + "\n" + kAddAgain + "\n" + kStart + kBye, 0, kDirectory},

    // Searching.
    {"SearchFindsTheThirdOfFive", kFiveRecords, "4\n42\nn\n7\n",
     kStart + kAskTarget + shown("42", "Grace Hopper") + kFindAgain + "\n" + kStart + kBye, 0,
     kFiveRecords},
    {"SearchShowsEveryMatchAndComparesText", record("42") + record("7") + record("42", "Bob"),
     "4\n42\ny\n0042\nn\n7\n",
     kStart + kAskTarget + shown("42") + shown("42", "Bob") + kFindAgain + "\n" + kAskTarget +
         kNoMatch + kFindAgain + "\n" + kStart + kBye,
     0, record("42") + record("7") + record("42", "Bob")},
    {"SearchWithoutFile",
     {},
     "4\n42\nn\n7\n",
     kStart + kAskTarget + kNotFoundFile + kFindAgain + "\n" + kStart + kBye,
     0,
     {}},
    {"SearchInEmptyFile", "\n\n", "4\n42\nn\n7\n",
     kStart + kAskTarget + kNoMatch + kFindAgain + "\n" + kStart + kBye, 0, "\n\n"},
    {"SearchInHandEditedFile", record("1") + "42\nAda\nZoo", "4\n42\nn\n7\n",
     kStart + kAskTarget +
         "\nRecord found.\n\nBooking number: 42\nName: Ada\nMovie name: Zoo\nMovie Schedule : \n"
         "Time: \nNumber of Guests: \nHouse Number: \nType: \nTotal fee: \n" +
         kFindAgain + "\n" + kStart + kBye,
     0, record("1") + "42\nAda\nZoo"},
    {"SearchLongTarget", record("1"), "4\n" + std::string(100000, '9') + "\nn\n7\n",
     kStart + kAskTarget + kNoMatch + kFindAgain + "\n" + kStart + kBye, 0, record("1")},
    {"EndOfInputAtTheTarget", {}, "4\n", kStart + kAskTarget + "\n", 0, {}},

    // Catalogue.
    {"CatalogueEveryGenre",
     {},
     "6\n1\n2\n2\n2\n3\n2\n4\n2\n5\n1\n7\n",
     kStart + kGenres + kAction + "\n" + kGenres + kWar + "\n" + kGenres + kSciFi + "\n" + kGenres +
         kHorror + "\n" + kGenres + kAnimated + "\n" + kStart + kBye,
     0,
     {}},
    {"CatalogueWrongAnswers",
     {},
     "6\n0\n7\nx\n1\n3\nx\n1\n6\n5\n0\n1\n7\n",
     kStart + kGenres + kBadGenre + kGenres + kBadGenre + kGenres + kBadGenre + kGenres + kAction +
         "Please select (1) or (2)!\nPlease select (1) or (2)!\n\n" + kStart + kGenres + kAnimated +
         "\nPlease select (1) or (2)!\n\n" + kStart + kBye,
     0,
     {}},
    {"CatalogueBackAtOnce", {}, "6\n6\n7\n", kStart + kGenres + kStart + kBye, 0, {}},
    {"CatalogueTypeAhead", {}, "6 2 1\n7\n", kStart + kGenres + kWar + "\n" + kStart + kBye, 0, {}},
    {"EndOfInputUnderAGenre", {}, "6\n4\n", kStart + kGenres + kHorror + "\n", 0, {}},
};

void PrintTo(const Session& s, std::ostream* os) { *os << s.name; }

class Sessions : public ScratchDirTest, public ::testing::WithParamInterface<Session> {};

TEST_P(Sessions, BehaveByteForByte) {
  const Session& s = GetParam();
  if (s.ticketBefore == kDirectory) {
    std::filesystem::create_directory(ticketPath());
  } else if (s.ticketBefore) {
    writeFile("ticket.txt", *s.ticketBefore);
  }
  ProgramRun run = runVelvarin(dir_.string(), s.input);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.output, s.output);
  EXPECT_EQ(run.status, s.status);
  if (s.ticketAfter == kDirectory) {
    EXPECT_TRUE(std::filesystem::is_directory(ticketPath()));
  } else {
    EXPECT_EQ(readFile("ticket.txt"), s.ticketAfter);
  }
}

INSTANTIATE_TEST_SUITE_P(Program, Sessions, ::testing::ValuesIn(kSessions),
                         [](const auto& info) { return std::string(info.param.name); });

class ProgramTest : public ScratchDirTest {};

TEST_F(ProgramTest, IgnoresArguments) {
  ProgramRun run = runVelvarin(dir_.string(), "7\n", {"--help", "ticket.txt"});
  EXPECT_EQ(run.output, kStart + kBye);
  EXPECT_EQ(run.status, 0);
}

// Many trips through every kind of operation end as they started.
TEST_F(ProgramTest, LongSessionBehavesAtTheEndAsAtTheStart) {
  writeFile("ticket.txt", record("1"));
  const std::string trip = "3\n2\n6\n6\n5\n9\n";
  const std::string screen =
      kMenu + "\n" + record("1") + kMenu + kGenres + kStart + kMenu + kBadChoice + kMenu;
  const int trips = 20000;
  ProgramRun run = runVelvarin(dir_.string(), repeat(trip, trips) + "7\n");
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.output == kStart + repeat(screen, trips) + kBye);
}

}  // namespace
