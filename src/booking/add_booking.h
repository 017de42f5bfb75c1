// The dialogue that records new bookings.
#ifndef VELVARIN_BOOKING_ADD_BOOKING_H_
#define VELVARIN_BOOKING_ADD_BOOKING_H_

#include "booking/session.h"

// addMov: asks for bookings one after the other and appends each to the
// ticket file; hands back toStart.
navOutcome addMov(Session& session);

#endif  // VELVARIN_BOOKING_ADD_BOOKING_H_
