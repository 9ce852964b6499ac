#pragma once

#include <cstdint>
#include <string>

// The parts of a run's plan that do not depend on where the set-ups are: the page,
// the round scales, the colour ramp of the RMS, turn arrows and the legend.

struct PagePoint {
    double x = 0.0;  ///< page units, to the right
    double y = 0.0;  ///< page units, downwards
};

constexpr double HALF_TURN = 3.14159265358979323846;  ///< radians; drawing only, never a table value
constexpr double LEGEND_WIDTH = 250.0;                ///< page units
constexpr double LEGEND_HEIGHT = 470.0;               ///< page units
constexpr const char* FAILED_COLOUR = "#d7191c";      ///< failed pairs, dashed; the ramp holds no red
constexpr const char* ARROW_COLOUR = "#333333";       ///< turn arrows and their values

/// A scale from 0 to a round number, read at equal ticks.
struct RoundScale {
    double top = 1.0;      ///< 1, 2 or 5 x 10^k
    int32_t steps = 5;     ///< ticks after 0: 4 for a top of 2 x 10^k, else 5
    int32_t decimals = 0;  ///< enough to print every tick exactly
};

/// The scale whose top is the smallest round number at or above both `largest` and
/// `least` (finite; `least` > 0).
RoundScale upperScale(double largest, double least);

/// "#rrggbb" at `fraction` (clamped to 0..1) along the RMS ramp.
std::string rampColour(double fraction);

/// A circular arrow about `centre` that starts at north and turns through `sweep`
/// radians, counter-clockwise seen from above when positive. The arc is drawn at
/// least 20 degrees long, so its head shows the sense, and at most a half turn.
void appendTurnArrow(std::string& svg, PagePoint centre, double sweep);

/// The XML declaration, the opening svg element with its size, the ramp's gradient
/// and a white background.
void appendDocumentStart(std::string& svg, double width, double height);

/// Characters (not bytes) of a UTF-8 text, for a rough width.
int32_t textLength(const std::string& text);

struct PlanLegend {
    double left = 0.0;           ///< page units, the legend's left edge
    double top = 0.0;            ///< page units, its top edge
    double metresPerUnit = 1.0;  ///< of the map
    RoundScale rmsScale;         ///< millimetres
    RoundScale correctionScale;  ///< degrees; a half turn of a turn arrow is its top
    int32_t setupsShown = 0;
    int32_t setupsLeftOut = 0;  ///< without a finite position
    int32_t pairsShown = 0;
    int32_t pairsFailed = 0;                                  ///< of those shown
    int32_t pairsLeftOut = 0;                                 ///< naming a scan outside the table or one left out
    double west = 0.0, south = 0.0, east = 0.0, north = 0.0;  ///< metres, the map's edges in real coordinates
};

/// North arrow, scale bar, the RMS ramp with ticks in millimetres, the failed-pair
/// and turn-arrow keys, counts and the map's corner coordinates.
void appendLegend(std::string& svg, const PlanLegend& legend);
