#pragma once

#include "batch/point_set.h"

#include <cstdint>
#include <vector>

// A search over the headings of a scan pair, before the local solve: for pairs whose
// headings may be off by anything up to a whole turn, where a local method finds no
// pairs or settles in a wrong minimum.
//
// Turning both scans alike about their own scanners also shifts one against the other
// across their baseline, so the search covers both headings, not only the relative one.
// A pose is scored by the share of a thinned sample of one scan (the moving scan) that
// falls into voxels next to points of the other (the fixed scan): a measure that needs
// no pairs and is not pulled by far points. The grid of both headings is searched with
// coarse voxels, and the best distinct poses are searched again around themselves with
// finer voxels and steps, three times.

// One scan as the search sees it.
struct SearchScan {
    const std::vector<CubePoint>* points = nullptr;  ///< survey frame, at the database headings
    double cx = 0.0, cy = 0.0;                       ///< metres, the scanner
};

// A pose the search found: both heading corrections and how well they score.
struct HeadingCandidate {
    double turnFixed = 0.0;   ///< radians, the fixed scan's correction from its database heading
    double turnMoving = 0.0;  ///< radians, the moving scan's correction
    double share = 0.0;       ///< sample points of the moving scan next to the fixed scan, 0 to 1
};

// One point of the moving scan's sample.
struct SearchPoint {
    double dx = 0.0, dy = 0.0;  ///< metres from the moving scanner (x, y)
    int32_t layer = 0;          ///< first cell of its z layer in the voxel grid
};

// Buffers of the search, kept from pair to pair so that their memory is reused.
struct HeadingSearchBuffers {
    std::vector<uint64_t> raw;        ///< voxels holding a fixed point, one bit each
    std::vector<uint64_t> occupied;   ///< those and their 26 neighbours
    std::vector<uint64_t> taken;      ///< voxels of the moving scan that gave a point to the thinning
    std::vector<int32_t> thinned;     ///< one moving point per voxel (indices)
    std::vector<SearchPoint> sample;  ///< the moving sample of a level
    std::vector<int32_t> turned;      ///< the sample turned by one relative heading, in parts of a cell
    std::vector<int32_t> scores;      ///< the coarse grid of both headings
};

struct HeadingSearchSettings {
    double halfWidth = 3.14159265;  ///< radians searched on either side of each database heading
    double zmin = -1e10;            ///< metres: only points inside the z window take part
    double zmax = 1e10;
    int32_t threads = 1;  ///< threads to score the poses on
};

/// The best distinct poses, best first (at most a few): each searched down to the
/// finest level. Empty when either scan has no point inside the z window.
std::vector<HeadingCandidate> searchHeadings(const SearchScan& fixed, const SearchScan& moving,
                                             const HeadingSearchSettings& settings, HeadingSearchBuffers& buffers);
