#pragma once

#include <cstdint>

// The Gauss-Newton step of the two headings of a scan pair. Each pair of points is a
// point p of the query scan and a plane (point q, unit normal n) of the reference scan;
// e = n · (p − q) is the signed distance, and turning a scan about the vertical through
// its scanner c changes it at the rate n · (ẑ × (p − c)) for the query scan and
// −n · (ẑ × (p − c)) for the reference scan. The step makes Σ w (e + gq·δq + gr·δr)²
// smallest.
struct HeadingSystem {
    double qq = 0.0, qr = 0.0, rr = 0.0;  ///< Σ w g g of the two rates, metres²
    double eq = 0.0, er = 0.0;            ///< Σ w e g, metres²
    double ee = 0.0;                      ///< Σ e², square metres (unweighted)
    int32_t pairs = 0;                    ///< pairs added
};

// One pair's distance and its rates of change with the two headings.
struct PlaneResidual {
    double e = 0.0;   ///< metres, signed along the plane's normal
    double gq = 0.0;  ///< metres per radian of the query scan's turn
    double gr = 0.0;  ///< metres per radian of the reference scan's turn
};

/// The residual of point (px, py, pz) against the plane through (qx, qy, qz) with unit
/// normal n, all in the reference scan's frame, where the query scan's scanner stands at
/// (qcx, qcy) and the reference scan's at (rcx, rcy).
PlaneResidual planeResidual(const double p[3], const double q[3], const double n[3], double qcx, double qcy, double rcx,
                            double rcy);

/// Adds one pair, down-weighted by a Cauchy kernel of width `scale` (metres): pairs
/// far from the current fit count less. A scale of 0 or less weighs every pair alike.
void addPair(HeadingSystem& system, const PlaneResidual& r, double scale);

struct HeadingStep {
    double query = 0.0;           ///< radians, the query scan's step
    double reference = 0.0;       ///< radians, the reference scan's step
    double queryError = 0.0;      ///< radians, standard error of the query scan's heading
    double referenceError = 0.0;  ///< radians, the same for the reference scan
    bool found = false;           ///< false when the pairs say nothing about the headings
};

/// The step of both headings. A turn of both scans together shows only as a shift
/// between them across their baseline, which some surveys hardly constrain; a slight
/// pull towards no common turn keeps that step finite.
HeadingStep headingStep(const HeadingSystem& system);

/// The root mean square of the pairs' distances (metres).
double residualRms(const HeadingSystem& system);
