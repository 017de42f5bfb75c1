// The listing of the whole ticket file.
#ifndef VELVARIN_TICKETS_LISTING_H_
#define VELVARIN_TICKETS_LISTING_H_

#include "main/navigation.h"

// dispMov: shows the ticket file byte for byte and hands back toMenu. Ends
// the session with status 1 (SessionEnd) when the file cannot be read.
navOutcome dispMov(Session& session);

#endif  // VELVARIN_TICKETS_LISTING_H_
