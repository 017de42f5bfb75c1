// The fixed catalogue of movies, by genre.
#ifndef VELVARIN_CATALOGUE_CATALOGUE_H_
#define VELVARIN_CATALOGUE_CATALOGUE_H_

#include "console/console.h"
#include "console/navigation.h"

// showmovie: shows genres and their titles until the user goes back; hands
// back toStart.
navOutcome showmovie(Console& console);

#endif  // VELVARIN_CATALOGUE_CATALOGUE_H_
