#pragma once

#include "batch/outputs/plan_drawing.h"

#include <cstdint>
#include <string>

// The legend of a run's plan, in blocks: north arrow and scale bar, the RMS ramp, the
// keys of the pair states, the turn arrow, the counts and the map's corners. Stacked in
// one column beside the map, or set side by side in a band below it.

struct PlanLegend {
    double metresPerUnit = 1.0;  ///< of the map
    RoundScale rmsScale;         ///< millimetres
    double noiseFloorMm = 0.0;   ///< the survey's noise floor the RMS scale is fixed from; 0: scaled to the run
    RoundScale correctionScale;  ///< degrees; a half turn of a turn arrow is its top
    bool sigmaShown = false;     ///< some correction is shown with its standard error
    int32_t setupsShown = 0;
    int32_t setupsLeftOut = 0;  ///< without a finite position
    int32_t pairsShown = 0;
    int32_t pairsFailed = 0;                                  ///< of those shown
    int32_t pairsNotTrusted = 0;                              ///< of those shown, and not failed
    int32_t pairsRejected = 0;                                ///< of those shown, and not failed
    int32_t pairsLeftOut = 0;                                 ///< naming a scan outside the table or one left out
    double west = 0.0, south = 0.0, east = 0.0, north = 0.0;  ///< metres, the map's edges in real coordinates
};

struct LegendSize {
    double width = 0.0;   ///< page units
    double height = 0.0;  ///< page units
};

/// The room the legend takes in one column (`below` false) or in a band (`below` true).
LegendSize legendSize(bool below);

/// Draws the legend with its left top corner at (`left`, `top`), in the arrangement
/// whose size legendSize(`below`) gives.
void appendLegend(std::string& svg, const PlanLegend& legend, double left, double top, bool below);
