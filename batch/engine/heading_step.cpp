#include "batch/engine/heading_step.h"

#include <cmath>

namespace {

// The pull towards no common turn, in parts of the system's own scale: far too weak
// to move a common turn that the pairs determine.
constexpr double COMMON_TURN_PULL = 1e-6;

}  // namespace

PlaneResidual planeResidual(const double p[3], const double q[3], const double n[3], double qcx, double qcy, double rcx,
                            double rcy)
{
    PlaneResidual r;
    r.e = n[0] * (p[0] - q[0]) + n[1] * (p[1] - q[1]) + n[2] * (p[2] - q[2]);
    // ẑ × (p − c) = (−(py − cy), px − cx, 0): the velocity of p in a turn about c.
    r.gq = -n[0] * (p[1] - qcy) + n[1] * (p[0] - qcx);
    r.gr = n[0] * (p[1] - rcy) - n[1] * (p[0] - rcx);
    return r;
}

void addPair(HeadingSystem& s, const PlaneResidual& r, double scale)
{
    double w = 1.0;
    if (scale > 0.0) {
        const double u = r.e / scale;
        w = 1.0 / (1.0 + u * u);
    }
    s.qq += w * r.gq * r.gq;
    s.qr += w * r.gq * r.gr;
    s.rr += w * r.gr * r.gr;
    s.eq += w * r.e * r.gq;
    s.er += w * r.e * r.gr;
    s.ee += r.e * r.e;
    ++s.pairs;
}

HeadingStep headingStep(const HeadingSystem& s)
{
    HeadingStep step;
    // The pull adds lambda · (dq + dr)² / 2 to the sum of squares.
    const double lambda = COMMON_TURN_PULL * (s.qq + s.rr);
    const double a = s.qq + 0.5 * lambda, b = s.qr + 0.5 * lambda, d = s.rr + 0.5 * lambda;
    const double det = a * d - b * b;
    if (!(s.qq > 0.0 && s.rr > 0.0 && det > 1e-12 * (a * d)))
        return step;
    step.query = -(d * s.eq - b * s.er) / det;
    step.reference = -(a * s.er - b * s.eq) / det;
    const double rms = residualRms(s);
    step.queryError = rms * std::sqrt(d / det);
    step.referenceError = rms * std::sqrt(a / det);
    step.found = true;
    return step;
}

double residualRms(const HeadingSystem& s) { return s.pairs > 0 ? std::sqrt(s.ee / s.pairs) : 0.0; }
