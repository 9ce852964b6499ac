#pragma once

// First intersection of a ray with the cliff scene.

#include "tools/cliff_scene.h"

/// A ray in shore coordinates (see cliff_scene.h); the direction has unit length.
struct ShoreRay {
    double s = 0.0;   ///< origin, along-shore, metres
    double c = 0.0;   ///< origin, cross-shore, metres
    double z = 0.0;   ///< origin, elevation, metres
    double ds = 0.0;  ///< direction, along-shore component
    double dc = 0.0;  ///< direction, cross-shore component
    double dz = 0.0;  ///< direction, vertical component
};

/// Distance (metres) from the ray's origin to the first rock along it, or a negative
/// value when the ray meets no rock within maxRange or starts inside rock.
///
/// The ray is marched with steps no longer than a proven lower bound of the distance to
/// the rock (the scene's slope bounds turn the value of the surface functions into such
/// a bound), so an overhang or a rib in front always wins over what lies behind it.
/// Features thinner than MARCH_MIN_STEP along the ray may be stepped over.
double castRay(const CliffScene& scene, const ShoreRay& ray, double maxRange);

/// Smallest marching step, metres.
constexpr double MARCH_MIN_STEP = 0.004;
