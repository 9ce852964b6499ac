#pragma once

#include "batch/outputs/plan_drawing.h"
#include "batch/outputs/run_plan.h"

#include <vector>

// Where the parts of a run's plan go: the map fitted to the set-ups' extent, the title
// block above it, and the legend beside or below it.

constexpr double MARGIN = 16.0;        ///< page units, round the page
constexpr double TITLE_HEIGHT = 60.0;  ///< page units, the band above the map for the title block

/// False for a position not finite or beyond any survey's coordinates: not drawn.
bool placeable(const ScanRecord& scan);

/// True when both scans of `pair` are in the table and placeable.
bool drawable(const PlanPair& pair, const std::vector<ScanRecord>& scans);

// Survey metres to page units: x east to the right, y north up.
struct PlanFrame {
    double minX = 0.0;       ///< metres, survey frame: the westernmost set-up
    double maxY = 0.0;       ///< metres, survey frame: the northernmost set-up
    double scale = 1.0;      ///< page units per metre
    double padX = 0.0;       ///< page units beside the outermost set-ups, room for their labels
    double padY = 0.0;       ///< page units above and below them
    double mapWidth = 0.0;   ///< page units, the map's box (its left top corner is MARGIN, TITLE_HEIGHT)
    double mapHeight = 0.0;  ///< page units
};

/// The frame of the placeable set-ups: one scale both ways, the larger the room their
/// extent leaves along each axis (a wide page for a survey along x, a tall one along y),
/// and `labelWidth` (page units) beside the outermost set-ups for their labels.
PlanFrame fitFrame(const std::vector<ScanRecord>& scans, double labelWidth);

PagePoint toPage(const PlanFrame& frame, double x, double y);

struct PlanPage {
    double width = 0.0;        ///< page units
    double height = 0.0;       ///< page units
    double legendLeft = 0.0;   ///< page units
    double legendTop = 0.0;    ///< page units
    bool legendBelow = false;  ///< below the map; else beside it
};

/// The page round the map of `frame`: the legend beside the map or below it, whichever
/// gives the smaller page (beside on a tie), and at least `titleWidth` wide.
PlanPage layOutPage(const PlanFrame& frame, double titleWidth);
