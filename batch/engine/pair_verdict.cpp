#include "batch/engine/pair_verdict.h"

#include <cstdio>

namespace {

// A registered pair comes down to about 1.5 times the scatter of one scan about its
// local planes (both scans scatter, and the planes are fitted to scattered points).
// Measured on the example surveys and the sparse terrain survey: right registrations at
// 1.2 to 2.2 floors, wrong ones (a heading some degrees off, a pair of two different
// cliffs) at 4 and more.
constexpr double RMS_FLOORS = 3.0;
constexpr double RMS_SLACK = 0.001;  // metres, for scans so smooth that the floor is near 0

// Of the query points the solve looked for planes for, a right registration pairs a
// share that depends on the scans' density against the last distance window: 85 % on
// the example's dense scans, 7 to 11 % on scans of 15,000 points. A registration that
// pairs almost none of the overlap is none.
constexpr double LEAST_PAIRED = 0.02;

// Degrees: a relative heading known no better than this is no registration.
constexpr double WIDEST_RELATIVE = 0.05;

}  // namespace

void judgePair(PairFigures& f)
{
    f.trusted = true;
    f.reason.clear();
    if (f.rms == NO_VALID_RMS)
        return;
    char reason[160] = "";
    if (f.noiseFloor > 0.0 && f.rms > RMS_FLOORS * f.noiseFloor + RMS_SLACK)
        std::snprintf(reason, sizeof reason, "RMS %.1f mm against a noise floor of %.1f mm", 1000.0 * f.rms,
                      1000.0 * f.noiseFloor);
    else if (f.pairs < LEAST_PAIRED * f.sampled)
        std::snprintf(reason, sizeof reason, "%i point pairs from %i points of the overlap", f.pairs, f.sampled);
    else if (!(f.relativeSigma <= WIDEST_RELATIVE))
        std::snprintf(reason, sizeof reason, "relative heading known to %.3f deg only", f.relativeSigma);
    f.reason = reason;
    f.trusted = f.reason.empty();
}
