#pragma once

// One terrestrial scan of the cliff: a regular grid of azimuth and elevation angles in
// the scanner's own frame, each ray cast into the scene, with range noise along the ray.

#include "tools/cliff_scene.h"

#include <cstdint>
#include <random>
#include <vector>

/// How shore coordinates sit in the translated survey frame.
struct ShoreFrame {
    bool eastWest = false;    ///< false: s = y, c = x - lineOffset (cliff to the east);
                              ///< true:  s = x, c = y - lineOffset (cliff to the north)
    double lineOffset = 0.0;  ///< survey-frame x (or y) of the set-up line, metres
};

/// A scanner set-up in the translated survey frame.
struct ScanPose {
    double x = 0.0;        ///< scanner origin, metres (easting - TRANSX)
    double y = 0.0;        ///< scanner origin, metres (northing - TRANSY)
    double z = 0.0;        ///< scanner origin, metres (GPS elevation + 0.29)
    double heading = 0.0;  ///< true heading, radians (rotation about the vertical)
    double rot[9] = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};  ///< scanner -> survey, row-major
};

/// The scan's angular grid, in the scanner's own frame; rays through cell centres.
struct ScanGrid {
    double azimuthStart = 0.0;    ///< radians, first column
    double azimuthStep = 0.0;     ///< radians between columns
    double elevationStart = 0.0;  ///< radians above the scanner's horizontal, first row
    double elevationStep = 0.0;   ///< radians between rows
    int32_t columns = 0;          ///< azimuth count
    int32_t rows = 0;             ///< elevation count
};

/// The grid of square angular cells of side about `step` over the window starting at
/// (azimuthLow, elevationLow) and `azimuthSpan` by `elevationSpan` wide (radians), at
/// least 2 by 2, cells fitted to fill the window exactly.
ScanGrid squareCellGrid(double azimuthLow, double azimuthSpan, double elevationLow, double elevationSpan, double step);

/// One measured point.
struct ScanPoint {
    double x = 0.0;  ///< scanner frame, metres
    double y = 0.0;
    double z = 0.0;
    double wx = 0.0;  ///< translated survey frame, metres
    double wy = 0.0;
    double wz = 0.0;
};

/// Settings of the simulated instrument.
struct ScannerModel {
    double halfWidthDeg = 50.0;   ///< azimuth half-width around the cliff direction, degrees
    double lowestDeg = -15.0;     ///< lowest elevation, degrees
    double highestCapDeg = 80.0;  ///< elevation never goes above this, degrees
    double maxRange = 150.0;      ///< returns beyond this are lost, metres
    double rangeNoise = 0.003;    ///< 1 sigma along the ray, metres
};

/// Sizes the angular grid so that about targetPoints rays hit rock: a coarse pass over
/// the field of view estimates the share of rays that hit.
ScanGrid planScanGrid(const CliffScene& scene, const ShoreFrame& frame, const ScanPose& pose, const ScannerModel& model,
                      int32_t targetPoints);

/// Casts the columns [firstColumn, endColumn) of the grid, column by column, rows from
/// the lowest up, and appends one point per hit to `out`. Draws one Gaussian from
/// `noiseGen` per hit when the model has range noise.
void sampleColumns(const CliffScene& scene, const ShoreFrame& frame, const ScanPose& pose, const ScannerModel& model,
                   const ScanGrid& grid, int32_t firstColumn, int32_t endColumn, std::mt19937& noiseGen,
                   std::vector<ScanPoint>& out);

/// The survey-frame position (x, y) in shore coordinates, and back.
void surveyToShore(const ShoreFrame& frame, double x, double y, double& s, double& c);
void shoreToSurvey(const ShoreFrame& frame, double s, double c, double& x, double& y);
