#pragma once

#include "batch/engine/heading_search.h"
#include "batch/engine/heading_step.h"
#include "batch/engine/local_plane.h"
#include "batch/engine/reference_index.h"

#include <cstdint>
#include <vector>

// What a run hands each solve besides the pair: where the run's progress stands, and
// the buffers of the solution methods, kept from pair to pair so that their memory is
// reused.

// The progress of a run over its pairs, for the percentages the methods print.
struct SolveProgress {
    int32_t pairsDone = 0;         ///< pairs finished by the run so far
    int32_t pairsInAll = 0;        ///< the number of scans: denominator of the progress
    double progressStep = 0.0;     ///< percent per solver iteration, 100 / (MAXITER x scans)
    double percentComplete = 0.0;  ///< last progress value printed by a method
    int64_t walkCount = 0;         ///< pairing walks the methods made (for benchmarks)
};

// The point-to-plane method's own buffers.
struct PointToPlaneWorkspace {
    ReferenceIndex reference;              ///< the staying scan of the solve
    std::vector<int32_t> querySample;      ///< the turning scan's points that a pass pairs
    std::vector<QueryPlane> queryPlanes;   ///< the plane of each of them, kept from pass to pass
    std::vector<PlaneResidual> residuals;  ///< each one's pair of the pass, where it has one
    std::vector<uint8_t> paired;           ///< 1 where it has one
};

struct SolverWorkspace {
    PointToPlaneWorkspace pointToPlane;
    HeadingSearchBuffers headingSearch;  ///< the point-to-plane method's search of the headings
};
