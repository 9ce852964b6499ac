#include "batch/outputs/plan_layout.h"

#include "batch/inputs/survey_database.h"
#include "batch/outputs/plan_legend.h"

#include <algorithm>
#include <cmath>

namespace {

// A page wider than tall suits screens and landscape paper, so a survey along x may
// take more room than one along y.
constexpr double MAP_ROOM_X = 900.0;     ///< page units, most the set-ups' east-west extent may take
constexpr double MAP_ROOM_Y = 640.0;     ///< page units, most their north-south extent may take
constexpr double MIN_PAD_X = 100.0;      ///< page units beside the outermost set-ups
constexpr double PAD_Y = 48.0;           ///< page units above and below them: two lines of label
constexpr double LEGEND_GAP = 24.0;      ///< page units, between the map and the legend
constexpr double MIN_SPAN = 10.0;        ///< metres: a smaller survey is drawn at the scale of this span
constexpr double MAX_COORDINATE = 1e12;  ///< metres: a position beyond this (or not finite) is not drawn

struct Extent {
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;  ///< metres, survey frame
};

Extent extentOf(const std::vector<ScanRecord>& scans)
{
    Extent e;
    bool first = true;
    for (const ScanRecord& s : scans) {
        if (!placeable(s))
            continue;
        e.minX = first ? s.x : std::min(e.minX, s.x);
        e.maxX = first ? s.x : std::max(e.maxX, s.x);
        e.minY = first ? s.y : std::min(e.minY, s.y);
        e.maxY = first ? s.y : std::max(e.maxY, s.y);
        first = false;
    }
    return e;
}

}  // namespace

bool placeable(const ScanRecord& scan)
{
    return std::fabs(scan.x) <= MAX_COORDINATE && std::fabs(scan.y) <= MAX_COORDINATE;  // false for NaN
}

bool drawable(const PlanPair& pair, const std::vector<ScanRecord>& scans)
{
    const int32_t count = static_cast<int32_t>(scans.size());
    return pair.scan1 >= 0 && pair.scan1 < count && pair.scan2 >= 0 && pair.scan2 < count
        && placeable(scans[static_cast<std::size_t>(pair.scan1)])
        && placeable(scans[static_cast<std::size_t>(pair.scan2)]);
}

PlanFrame fitFrame(const std::vector<ScanRecord>& scans, double labelWidth)
{
    const Extent e = extentOf(scans);
    PlanFrame frame;
    frame.minX = e.minX;
    frame.maxY = e.maxY;
    // A span of zero (one set-up, or all at one point) keeps the scale of MIN_SPAN.
    frame.scale = MAP_ROOM_X / MIN_SPAN;
    if (e.maxX > e.minX)
        frame.scale = std::min(frame.scale, MAP_ROOM_X / (e.maxX - e.minX));
    if (e.maxY > e.minY)
        frame.scale = std::min(frame.scale, MAP_ROOM_Y / (e.maxY - e.minY));
    frame.padX = std::max(MIN_PAD_X, labelWidth);
    frame.padY = PAD_Y;
    frame.mapWidth = (e.maxX - e.minX) * frame.scale + 2.0 * frame.padX;
    frame.mapHeight = (e.maxY - e.minY) * frame.scale + 2.0 * frame.padY;
    return frame;
}

PagePoint toPage(const PlanFrame& frame, double x, double y)
{
    return {MARGIN + frame.padX + (x - frame.minX) * frame.scale,
            TITLE_HEIGHT + frame.padY + (frame.maxY - y) * frame.scale};
}

PlanPage layOutPage(const PlanFrame& frame, double titleWidth)
{
    const LegendSize column = legendSize(false), band = legendSize(true);
    PlanPage beside;
    beside.width = std::max(MARGIN + frame.mapWidth + LEGEND_GAP + column.width + MARGIN, titleWidth);
    beside.height = TITLE_HEIGHT + std::max(frame.mapHeight, column.height) + MARGIN;
    beside.legendLeft = MARGIN + frame.mapWidth + LEGEND_GAP;
    beside.legendTop = TITLE_HEIGHT;
    PlanPage below;
    below.width = std::max(MARGIN + std::max(frame.mapWidth, band.width) + MARGIN, titleWidth);
    below.height = TITLE_HEIGHT + frame.mapHeight + LEGEND_GAP + band.height + MARGIN;
    below.legendLeft = MARGIN;
    below.legendTop = TITLE_HEIGHT + frame.mapHeight + LEGEND_GAP;
    below.legendBelow = true;
    // The map and the legend take the same room either way: the smaller page leaves less blank.
    return below.width * below.height < beside.width * beside.height ? below : beside;
}
