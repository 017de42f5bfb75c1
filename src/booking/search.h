// The dialogue that looks bookings up by their booking number.
#ifndef VELVARIN_BOOKING_SEARCH_H_
#define VELVARIN_BOOKING_SEARCH_H_

#include "booking/session.h"

// findMov: shows every booking whose number reads as the typed text, search
// after search; hands back toStart.
navOutcome findMov(Session& session);

#endif  // VELVARIN_BOOKING_SEARCH_H_
