#pragma once

#include "batch/constants.h"
#include "batch/point_set.h"

#include <cstdint>
#include <vector>

struct RegSettings;

struct Point3 {
    double x = 0.0, y = 0.0, z = 0.0;  ///< metres
};

// Two scans stamped over the same grid and sorted by cube: the query set, whose
// points look for partners, and the reference set that holds the partners.
struct PairingInput {
    const std::vector<CubePoint>& query;
    const std::vector<CubePoint>& reference;
    int32_t cubeCount;  ///< cubes of the shared grid; the outside index
    double zmin;        ///< metres, lower z window of the query points
};

struct PairingResult {
    double rms = NO_VALID_RMS;   ///< metres; NO_VALID_RMS when fewer than MINNUMPTS pairs
    int32_t pairCount = 0;       ///< accepted pairs
    bool tooManyPoints = false;  ///< a cube held more query points than a walk can take
    double angle = 0.0;          ///< radians, computePairRotation only
    bool angleFound = false;     ///< angle is valid (at least MINNUMPTS pairs)
};

// Receives every pair that an RMS walk accepts (the diagnostic files of comparing two
// point files). Each walk is bracketed by beginWalk and endWalk.
class PairSink {
public:
    virtual ~PairSink() = default;
    virtual void beginWalk() = 0;
    /// `distance` in metres; `partner` is the nearest reference point or the foot on its plane.
    virtual void record(double distance, const Point3& query, const Point3& partner) = 0;
    virtual void endWalk() = 0;
};

/// Pairs up to NUMPPC evenly spaced query points per cube with their nearest
/// reference points of the same cube and returns the RMS of the point-to-point
/// or point-to-plane distances up to `maxDist`. Every accepted pair also goes to
/// `sink` when there is one. `candidates` is a buffer kept between walks.
PairingResult computePairRms(const RegSettings& settings, const PairingInput& in, double maxDist,
                             std::vector<int32_t>& candidates, PairSink* sink = nullptr);

/// The same walk, also returning the rotation about the vertical through
/// (centreX, centreY) that best turns the reference set onto the query set.
PairingResult computePairRotation(const RegSettings& settings, const PairingInput& in, double maxDist, double minDist,
                                  double centreX, double centreY, std::vector<int32_t>& candidates);

/// The foot of `p` on the plane a·x + b·y + c·z + d = 0, `dist` being its distance from it.
Point3 projectOntoPlane(double a, double b, double c, double d, double dist, const Point3& p);
