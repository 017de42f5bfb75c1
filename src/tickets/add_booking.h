// The dialogue that records new bookings.
#ifndef VELVARIN_TICKETS_ADD_BOOKING_H_
#define VELVARIN_TICKETS_ADD_BOOKING_H_

#include "main/navigation.h"

// addMov: asks for bookings one after the other and appends each to the
// ticket file; hands back toStart.
navOutcome addMov(Session& session);

#endif  // VELVARIN_TICKETS_ADD_BOOKING_H_
