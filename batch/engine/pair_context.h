#pragma once

#include "batch/constants.h"
#include "batch/engine/search_cubes.h"
#include "batch/point_set.h"

#include <cstdint>
#include <string>
#include <vector>

// The scan pair under work: created once in main, its point arrays refilled for
// every pair (their capacity is kept, so later pairs reuse the memory).
struct PairContext {
    int32_t scan1Index = 0;  ///< position of scan 1 in the scan table
    int32_t scan2Index = 0;  ///< position of scan 2 in the scan table
    std::string scan1Path;   ///< point file of scan 1
    std::string scan2Path;   ///< point file of scan 2
    PointSet scan1;          ///< prepared points, survey frame, sorted by cube
    PointSet scan2;
    std::vector<CubePoint> work1;  ///< working copies turned by the solution methods
    std::vector<CubePoint> work2;
    ScanExtent overlap;                                   ///< intersection of the two extents
    int32_t cubeCount = 0;                                ///< cubes of the grid built last; also the outside index
    float rms21 = static_cast<float>(NO_VALID_RMS);       ///< metres, scan 2 against scan 1, last initial measurement
    float rms12 = static_cast<float>(NO_VALID_RMS);       ///< metres, scan 1 against scan 2
    float initialRms = static_cast<float>(NO_VALID_RMS);  ///< metres, mean of the two, single precision
    double rangeValue = 0.0;                              ///< metres, mean cliff distance of text scans

    // Buffers kept from pair to pair so that their memory is reused.
    CubeSortBuffers sortBuffers;      ///< the cube sort's copy and counters
    std::vector<int32_t> candidates;  ///< query points of one cube during a pairing walk
};
