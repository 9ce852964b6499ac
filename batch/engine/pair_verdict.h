#pragma once

#include "batch/engine/solvers.h"

// The verdict on a registered pair, from what the pair shows of itself: a registration
// that leaves the scans much farther apart than their own scatter about their surfaces,
// that pairs only a small part of the overlap, or whose relative heading the pairs hardly
// fix, is not trusted.

/// Sets `figures.trusted` and, when not trusted, `figures.reason` from the figures.
/// A pair without a valid RMS is left to the registration's own failure.
void judgePair(PairFigures& figures);
