#pragma once

#include <cstdint>
#include <string>

// The parts of a run's plan that do not depend on where the set-ups are: the page,
// the round scales, the colour ramp of the RMS, the strokes of the pair states and
// turn arrows.

struct PagePoint {
    double x = 0.0;  ///< page units, to the right
    double y = 0.0;  ///< page units, downwards
};

constexpr double HALF_TURN = 3.14159265358979323846;  ///< radians; drawing only, never a table value
constexpr const char* ARROW_COLOUR = "#333333";       ///< turn arrows and their values

/// What a pair line shows: its RMS on the ramp, or a state drawn in a colour of its own.
enum class PairState {
    Valid,       ///< on the ramp
    Failed,      ///< no valid RMS, or a scan could not be read
    NotTrusted,  ///< registered, but its own figures do not back the result
    Rejected,    ///< rejected by the adjustment of the survey
};

/// A scale from 0 to a round number, read at equal ticks.
struct RoundScale {
    double top = 1.0;      ///< 1, 2 or 5 x 10^k
    int32_t steps = 5;     ///< ticks after 0: 4 for a top of 2 x 10^k, else 5
    int32_t decimals = 0;  ///< enough to print every tick exactly
};

/// The scale whose top is the smallest round number at or above both `largest` and
/// `least` (finite; `least` > 0).
RoundScale upperScale(double largest, double least);

/// Decimals that print `value` (a round number) exactly; at most 9.
int32_t decimalsOf(double value);

/// "#rrggbb" at `fraction` (clamped to 0..1) along the RMS ramp.
std::string rampColour(double fraction);

/// The colour of a pair line in `state` (not Valid): none of them is on the ramp.
const char* stateColour(PairState state);

/// Appends the stroke of a pair line in `state`: ` stroke=... stroke-width=...` and, but
/// for Valid, the dashes that tell the states apart in grey too. `rampAt` is the
/// colour of a valid pair.
void appendPairStroke(std::string& svg, PairState state, const std::string& rampAt);

/// An 11-unit text at (`x`, `y`); `extra` holds further attributes, each with its leading
/// blank. The caller escapes `text`.
void appendText(std::string& svg, double x, double y, const std::string& text, const char* extra = "");

/// A circular arrow about `centre` that starts at north and turns through `sweep`
/// radians, counter-clockwise seen from above when positive. The arc is drawn at
/// least 20 degrees long, so its head shows the sense, and at most a half turn.
void appendTurnArrow(std::string& svg, PagePoint centre, double sweep);

/// The XML declaration, the opening svg element with its size, the ramp's gradient
/// and a white background.
void appendDocumentStart(std::string& svg, double width, double height);

/// Characters (not bytes) of a UTF-8 text, for a rough width.
int32_t textLength(const std::string& text);
