// The listing of the whole ticket file.
#ifndef VELVARIN_BOOKING_LISTING_H_
#define VELVARIN_BOOKING_LISTING_H_

#include "booking/session.h"

// dispMov: shows the ticket file byte for byte and hands back toMenu. Ends
// the session with status 1 (SessionEnd) when the file cannot be read.
navOutcome dispMov(Session& session);

#endif  // VELVARIN_BOOKING_LISTING_H_
