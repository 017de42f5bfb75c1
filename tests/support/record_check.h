// An independent check of a ticket file: only whole, well-formed bookings.
#ifndef VELVARIN_TESTS_SUPPORT_RECORD_CHECK_H_
#define VELVARIN_TESTS_SUPPORT_RECORD_CHECK_H_

#include <string>
#include <string_view>
#include <vector>

struct RecordCheck {
  bool ok = true;
  std::string why;                   // the first fault found, when not ok
  std::vector<std::string> records;  // each booking's ten lines
};

// Splits `bytes` into bookings as velvarin writes them: ten lines each,
// numbers in plain decimal, booking number 1 to 9999, show time 1000 to 2300,
// every text within its field. Fails on anything else, a partial booking too.
RecordCheck checkRecords(std::string_view bytes);

#endif  // VELVARIN_TESTS_SUPPORT_RECORD_CHECK_H_
