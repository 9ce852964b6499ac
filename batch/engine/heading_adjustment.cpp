#include "batch/engine/heading_adjustment.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A residual whose own variance is below this share of its observation's has nothing to
// be tested against: the other pairs hardly check that relative heading.
constexpr double LEAST_REDUNDANCY = 1e-3;
constexpr double MOST_CORRELATION = 0.999;

// The weight matrix (inverse covariance) of one pair's relative heading and common turn.
struct PairWeights {
    double rr = 0.0, rc = 0.0, cc = 0.0;
};

PairWeights weightsOf(const PairObservation& o)
{
    const double rho = std::max(-MOST_CORRELATION, std::min(MOST_CORRELATION, o.correlation));
    const double vr = o.relativeSigma * o.relativeSigma, vc = o.commonSigma * o.commonSigma;
    const double cov = rho * o.relativeSigma * o.commonSigma, det = vr * vc - cov * cov;
    return {vc / det, -cov / det, vr / det};
}

// The normal equations over the scans that kept pairs hold, solved: the corrections and
// the inverse of the normal matrix (the cofactors of the corrections).
struct Solution {
    std::vector<int32_t> slot;  ///< per scan its row of the system, -1 for a scan no kept pair holds
    std::vector<double> x;      ///< radians per row
    std::vector<double> q;      ///< rows x rows, the inverse of the normal matrix
};

// Adds w·a·bᵀ for the design rows a and b of one observation (two scans each).
void addOuter(std::vector<double>& n, int32_t rows, const int32_t at[2], const double a[2], const double b[2], double w)
{
    for (int32_t u = 0; u < 2; ++u)
        for (int32_t v = 0; v < 2; ++v)
            n[static_cast<std::size_t>(at[u]) * rows + at[v]] += w * a[u] * b[v];
}

// Cholesky factor L (lower, in place) of the symmetric positive definite matrix; false
// when it is not positive definite.
bool choleskyInPlace(std::vector<double>& m, int32_t n)
{
    for (int32_t j = 0; j < n; ++j) {
        double d = m[static_cast<std::size_t>(j) * n + j];
        for (int32_t k = 0; k < j; ++k)
            d -= m[static_cast<std::size_t>(j) * n + k] * m[static_cast<std::size_t>(j) * n + k];
        if (!(d > 0.0))
            return false;
        const double l = std::sqrt(d);
        m[static_cast<std::size_t>(j) * n + j] = l;
        for (int32_t i = j + 1; i < n; ++i) {
            double s = m[static_cast<std::size_t>(i) * n + j];
            for (int32_t k = 0; k < j; ++k)
                s -= m[static_cast<std::size_t>(i) * n + k] * m[static_cast<std::size_t>(j) * n + k];
            m[static_cast<std::size_t>(i) * n + j] = s / l;
        }
    }
    return true;
}

// Solves L·Lᵀ·y = b in place.
void choleskySolve(const std::vector<double>& l, int32_t n, std::vector<double>& b)
{
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t k = 0; k < i; ++k)
            b[static_cast<std::size_t>(i)] -= l[static_cast<std::size_t>(i) * n + k] * b[static_cast<std::size_t>(k)];
        b[static_cast<std::size_t>(i)] /= l[static_cast<std::size_t>(i) * n + i];
    }
    for (int32_t i = n - 1; i >= 0; --i) {
        for (int32_t k = i + 1; k < n; ++k)
            b[static_cast<std::size_t>(i)] -= l[static_cast<std::size_t>(k) * n + i] * b[static_cast<std::size_t>(k)];
        b[static_cast<std::size_t>(i)] /= l[static_cast<std::size_t>(i) * n + i];
    }
}

bool solveKept(int32_t scanCount, const std::vector<PairObservation>& obs, const std::vector<bool>& kept, Solution& s)
{
    s.slot.assign(static_cast<std::size_t>(scanCount), -1);
    int32_t rows = 0;
    for (std::size_t k = 0; k < obs.size(); ++k)
        for (int32_t scan : {obs[k].scan1, obs[k].scan2})
            if (kept[k] && s.slot[static_cast<std::size_t>(scan)] < 0)
                s.slot[static_cast<std::size_t>(scan)] = rows++;
    std::vector<double> n(static_cast<std::size_t>(rows) * rows, 0.0), b(static_cast<std::size_t>(rows), 0.0);
    const double relative[2] = {-1.0, 1.0}, common[2] = {0.5, 0.5};
    for (std::size_t k = 0; k < obs.size(); ++k) {
        if (!kept[k])
            continue;
        const PairObservation& o = obs[k];
        const int32_t at[2] = {s.slot[static_cast<std::size_t>(o.scan1)], s.slot[static_cast<std::size_t>(o.scan2)]};
        const PairWeights w = weightsOf(o);
        addOuter(n, rows, at, relative, relative, w.rr);
        addOuter(n, rows, at, relative, common, w.rc);
        addOuter(n, rows, at, common, relative, w.rc);
        addOuter(n, rows, at, common, common, w.cc);
        for (int32_t u = 0; u < 2; ++u)
            b[static_cast<std::size_t>(at[u])] +=
                relative[u] * (w.rr * o.relative + w.rc * o.common) + common[u] * (w.rc * o.relative + w.cc * o.common);
    }
    if (!choleskyInPlace(n, rows))
        return false;
    s.x = b;
    choleskySolve(n, rows, s.x);
    s.q.assign(static_cast<std::size_t>(rows) * rows, 0.0);
    for (int32_t c = 0; c < rows; ++c) {
        std::vector<double> e(static_cast<std::size_t>(rows), 0.0);
        e[static_cast<std::size_t>(c)] = 1.0;
        choleskySolve(n, rows, e);
        for (int32_t r = 0; r < rows; ++r)
            s.q[static_cast<std::size_t>(r) * rows + c] = e[static_cast<std::size_t>(r)];
    }
    return true;
}

// The residuals of one kept observation: observed minus adjusted relative heading and
// common turn, and the variance of the relative residual.
struct Residual {
    double relative = 0.0, common = 0.0, relativeVariance = 0.0;
};

Residual residualOf(const Solution& s, const PairObservation& o)
{
    const int32_t i = s.slot[static_cast<std::size_t>(o.scan1)], j = s.slot[static_cast<std::size_t>(o.scan2)];
    const std::size_t rows = s.x.size();
    const double xi = s.x[static_cast<std::size_t>(i)], xj = s.x[static_cast<std::size_t>(j)];
    const double qii = s.q[i * rows + i], qjj = s.q[j * rows + j], qij = s.q[i * rows + j];
    Residual r;
    r.relative = o.relative - (xj - xi);
    r.common = o.common - 0.5 * (xi + xj);
    r.relativeVariance = o.relativeSigma * o.relativeSigma - (qii + qjj - 2.0 * qij);
    return r;
}

}  // namespace

HeadingAdjustment adjustHeadings(int32_t scanCount, const std::vector<PairObservation>& observations,
                                 double rejectAbove)
{
    HeadingAdjustment result;
    std::vector<bool> kept(observations.size(), true);
    Solution s;
    for (;;) {
        Solution next;
        if (!solveKept(scanCount, observations, kept, next))
            break;
        s = std::move(next);
        // The kept pair whose relative heading fits the others worst.
        int32_t worst = -1;
        RejectedPair worstFit;
        for (std::size_t k = 0; k < observations.size(); ++k) {
            const Residual r = kept[k] ? residualOf(s, observations[k]) : Residual{};
            const double own = observations[k].relativeSigma * observations[k].relativeSigma;
            if (!kept[k] || !(r.relativeVariance > LEAST_REDUNDANCY * own))
                continue;
            const double sigmas = std::fabs(r.relative) / std::sqrt(r.relativeVariance);
            if (sigmas > rejectAbove && (worst < 0 || sigmas > worstFit.sigmas)) {
                worst = static_cast<int32_t>(k);
                worstFit = {worst, r.relative, sigmas};
            }
        }
        if (worst < 0)
            break;
        kept[static_cast<std::size_t>(worst)] = false;
        result.rejected.push_back(worstFit);
    }
    result.correction.assign(static_cast<std::size_t>(scanCount), 0.0);
    result.sigma.assign(static_cast<std::size_t>(scanCount), NAN);
    result.pairsUsed.assign(static_cast<std::size_t>(scanCount), 0);
    if (s.x.empty())
        return result;
    // The variance of unit weight from the fit, where the pairs over-determine the
    // headings; never taken below the pairs' own standard errors.
    double squares = 0.0;
    int32_t kepts = 0;
    for (std::size_t k = 0; k < observations.size(); ++k) {
        if (!kept[k])
            continue;
        const Residual r = residualOf(s, observations[k]);
        const PairWeights w = weightsOf(observations[k]);
        squares += w.rr * r.relative * r.relative + 2.0 * w.rc * r.relative * r.common + w.cc * r.common * r.common;
        ++kepts;
        ++result.pairsUsed[static_cast<std::size_t>(observations[k].scan1)];
        ++result.pairsUsed[static_cast<std::size_t>(observations[k].scan2)];
    }
    const int32_t redundancy = 2 * kepts - static_cast<int32_t>(s.x.size());
    result.varianceFactor = redundancy > 0 ? std::max(1.0, squares / redundancy) : 1.0;
    const std::size_t rows = s.x.size();
    for (int32_t scan = 0; scan < scanCount; ++scan) {
        const int32_t slot = s.slot[static_cast<std::size_t>(scan)];
        if (slot < 0)
            continue;
        result.correction[static_cast<std::size_t>(scan)] = s.x[static_cast<std::size_t>(slot)];
        result.sigma[static_cast<std::size_t>(scan)] =
            std::sqrt(result.varianceFactor * s.q[static_cast<std::size_t>(slot) * rows + slot]);
    }
    return result;
}
