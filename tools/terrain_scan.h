#pragma once

// One sparse terrestrial scan of a terrain surface: a regular grid of azimuth and
// elevation angles in the scanner's own frame, centred on the look direction, each
// ray cast onto the height field. The fixed angular step makes the density fall with
// the square of the range; on top of that weak far echoes are lost (a return is kept
// with a share that falls with range) and the range noise grows with range. Two
// set-ups therefore sample the same surface at different, independent points.

#include "tools/height_field.h"
#include "tools/scan_sampler.h"

#include <cstdint>
#include <random>
#include <vector>

/// Settings of the simulated long-range instrument.
struct TerrainScanner {
    double halfWidthDeg = 60.0;  ///< azimuth half-width around the look direction, degrees
    double lowestDeg = -10.0;    ///< lowest elevation, degrees
    double highestDeg = 30.0;    ///< highest elevation, degrees
    double minRange = 2.0;       ///< closer returns are lost, metres
    double maxRange = 250.0;     ///< farther returns are lost, metres
    double sureRange = 60.0;     ///< every return up to this range is kept, metres
    double farShare = 0.3;       ///< share of returns kept at maxRange, linear from sureRange
    double rangeNoise = 0.003;   ///< 1 sigma along the ray at the scanner, metres
    double noiseGrowth = 50.0;   ///< the noise grows by rangeNoise every this many metres of range
};

/// Share of the returns at `range` metres that the scanner keeps.
double keepShare(const TerrainScanner& model, double range);

/// Sizes the angular grid (square cells) so that about targetPoints returns are kept:
/// a coarse pass over the field of view estimates the kept share of the rays.
/// lookAzimuth: the middle of the view, radians counter-clockwise from +x in the survey frame.
ScanGrid planTerrainScan(const HeightField& field, const ScanPose& pose, double lookAzimuth,
                         const TerrainScanner& model, int32_t targetPoints);

/// Casts the whole grid, column by column, rows from the lowest up, and appends one point
/// per kept return. Draws one uniform per return within range and one Gaussian per kept one.
void sampleTerrainScan(const HeightField& field, const ScanPose& pose, const TerrainScanner& model,
                       const ScanGrid& grid, std::mt19937& gen, std::vector<ScanPoint>& out);
