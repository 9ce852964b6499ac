#include "batch/runs/survey_adjustment.h"

#include "batch/constants.h"
#include "batch/engine/heading_adjustment.h"
#include "batch/inputs/configuration.h"
#include "batch/inputs/survey_database.h"
#include "batch/runs/pair_figures.h"

#include <algorithm>
#include <cmath>

namespace {

// A row without figures (another method's, or an older table's) is weighed by its RMS
// and pair count as a heading seen over LEVER_ARM metres, sigma = RMS / sqrt(pairs) /
// LEVER_ARM, but never better than LEAST_ROW_SIGMA: the other methods stop short of the
// noise (ping-pong at its defaults leaves a few hundredths of a degree). Its common
// turn, which a pair shows less well than the relative heading, gets COMMON_WEAKER times
// that sigma.
constexpr double LEVER_ARM = 30.0;        // metres
constexpr double LEAST_ROW_SIGMA = 0.01;  // degrees
constexpr double COMMON_WEAKER = 3.0;
constexpr double REJECT_ABOVE = 3.0;  // sigmas of a relative heading's normalised residual
constexpr double SAME_RESULT = 5e-6;  // degrees: a figures row holds the row's result
constexpr double LEAST_SIGMA = 1e-6;  // degrees: a sigma written as 0.000000

int32_t indexOfId(const std::vector<ScanRecord>& scans, int32_t id)
{
    for (std::size_t i = 0; i < scans.size(); ++i)
        if (scans[i].scanId == id)
            return static_cast<int32_t>(i);
    return -1;
}

// The figures of the pair whose result the row holds; nullptr when the table has none.
const PairFiguresRow* figuresOf(const std::vector<PairFiguresRow>& figures, const RegistrationRow& row)
{
    const double relative = row.second.rotation - row.first.rotation;
    for (const PairFiguresRow& f : figures)
        if (f.scan1 == row.first.scanId && f.scan2 == row.second.scanId
            && std::fabs(f.relative - relative) <= SAME_RESULT)
            return &f;
    return nullptr;
}

PairObservation observationOf(const RegistrationRow& row, const PairFiguresRow* f, int32_t a, int32_t b)
{
    PairObservation o;
    o.scan1 = a;
    o.scan2 = b;
    o.relative = (row.second.rotation - row.first.rotation) * DEG_TO_RAD;
    o.common = 0.5 * (row.first.rotation + row.second.rotation) * DEG_TO_RAD;
    if (f != nullptr) {
        o.relativeSigma = std::max(f->relativeSigma, LEAST_SIGMA) * DEG_TO_RAD;
        o.commonSigma = std::max(f->commonSigma, LEAST_SIGMA) * DEG_TO_RAD;
        o.correlation = f->correlation;
        return o;
    }
    const bool measured = row.rms > 0.0 && row.rms < NO_VALID_RMS && row.pairs > 0;
    o.relativeSigma = measured ? row.rms / std::sqrt(static_cast<double>(row.pairs)) / LEVER_ARM : 0.0;
    o.relativeSigma = std::max(o.relativeSigma, LEAST_ROW_SIGMA * DEG_TO_RAD);
    o.commonSigma = COMMON_WEAKER * o.relativeSigma;
    return o;
}

// Today's rule: the mean of the scan's rows that found a rotation.
std::vector<ScanTurn> meanTurns(const std::vector<ScanRecord>& scans, const std::vector<RotationEntry>& entries)
{
    std::vector<ScanTurn> turns(scans.size());
    for (std::size_t i = 0; i < scans.size(); ++i) {
        ScanTurn& t = turns[i];
        t.degrees = meanRotation(entries, scans[i].scanId, t.pairs, t.spread);
        t.found = t.degrees != 0.0;
    }
    return turns;
}

}  // namespace

std::vector<ScanTurn> scanTurns(const RegSettings& settings, const std::vector<ScanRecord>& scans,
                                const std::vector<RegistrationRow>& rows, const std::string& figuresPath,
                                std::FILE* log, std::vector<std::pair<int32_t, int32_t>>& rejectedPairs)
{
    std::vector<RotationEntry> entries;
    for (const RegistrationRow& row : rows) {
        entries.push_back(row.first);
        entries.push_back(row.second);
    }
    std::vector<ScanTurn> turns = meanTurns(scans, entries);
    if (settings.ADJUST == 0)
        return turns;

    const std::vector<PairFiguresRow> figures = loadPairFigures(figuresPath);
    std::vector<PairObservation> observations;
    std::vector<const RegistrationRow*> observed;
    for (const RegistrationRow& row : rows) {
        const int32_t a = indexOfId(scans, row.first.scanId), b = indexOfId(scans, row.second.scanId);
        const PairFiguresRow* f = figuresOf(figures, row);
        if (!row.first.found || a < 0 || b < 0 || a == b || (f != nullptr && !f->trusted))
            continue;
        observations.push_back(observationOf(row, f, a, b));
        observed.push_back(&row);
    }
    const HeadingAdjustment adjusted = adjustHeadings(static_cast<int32_t>(scans.size()), observations, REJECT_ABOVE);
    for (const RejectedPair& r : adjusted.rejected) {
        const RegistrationRow& row = *observed[static_cast<std::size_t>(r.observation)];
        const PairObservation& o = observations[static_cast<std::size_t>(r.observation)];
        std::printf("Pair %i-%i rejected by the adjustment: residual %.3f deg, %.1f sigma\n", row.first.scanId,
                    row.second.scanId, r.residual * RAD_TO_DEG, r.sigmas);
        if (log != nullptr)
            std::fprintf(log, "Pair %i-%i rejected by the adjustment: residual %.3f deg, %.1f sigma\n",
                         row.first.scanId, row.second.scanId, r.residual * RAD_TO_DEG, r.sigmas);
        rejectedPairs.emplace_back(o.scan1, o.scan2);
        ++turns[static_cast<std::size_t>(o.scan1)].rejected;
        ++turns[static_cast<std::size_t>(o.scan2)].rejected;
    }
    // A scan whose id an earlier scan has takes that scan's turn, as the mean of rows does.
    for (std::size_t i = 0; i < scans.size(); ++i) {
        const std::size_t first = static_cast<std::size_t>(indexOfId(scans, scans[i].scanId));
        ScanTurn& t = turns[i];
        t.pairs = adjusted.pairsUsed[first];
        t.found = t.pairs > 0;
        t.degrees = t.found ? adjusted.correction[first] * RAD_TO_DEG : 0.0;
        t.sigma = t.found ? adjusted.sigma[first] * RAD_TO_DEG : NAN;
        t.rejected = turns[first].rejected;
    }
    return turns;
}
