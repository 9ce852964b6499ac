#include "batch/outputs/plan_legend.h"

#include "batch/outputs/svg_text.h"

#include <algorithm>
#include <vector>

namespace {

constexpr double BLOCK_WIDTH = 230.0;     ///< page units, every block
constexpr double BLOCK_GAP = 18.0;        ///< page units, between blocks of a column
constexpr double COLUMN_GAP = 24.0;       ///< page units, between the columns of a band
constexpr double SCALE_BAR_ROOM = 160.0;  ///< page units the scale bar may take
constexpr double RAMP_HEIGHT = 160.0;     ///< page units

enum class Block { Orientation, Rms, PairStates, Correction, Counts };

double blockHeight(Block block)
{
    switch (block) {
    case Block::Orientation:
        return 56.0;
    case Block::Rms:
        return 188.0;
    case Block::PairStates:
        return 56.0;
    case Block::Correction:
        return 58.0;
    default:
        return 96.0;
    }
}

// Beside the map one column; below it three, the ramp in the middle, none taller than it.
std::vector<std::vector<Block>> legendColumns(bool below)
{
    if (below)
        return {{Block::Orientation, Block::Counts}, {Block::Rms}, {Block::PairStates, Block::Correction}};
    return {{Block::Orientation, Block::Rms, Block::PairStates, Block::Correction, Block::Counts}};
}

double columnHeight(const std::vector<Block>& column)
{
    double height = 0.0;
    for (Block block : column)
        height += (height > 0.0 ? BLOCK_GAP : 0.0) + blockHeight(block);
    return height;
}

// The text of a length: as many decimals as it needs.
std::string roundText(double value) { return fixedText(value, decimalsOf(value)); }

// The largest of 1, 2, 5 x 10^k at or below `limit` (> 0).
double roundBelow(double limit)
{
    double p = 1.0;
    for (int i = 0; i < 400 && p * 10.0 <= limit; ++i)
        p *= 10.0;
    for (int i = 0; i < 400 && p > limit; ++i)
        p /= 10.0;
    return 5.0 * p <= limit ? 5.0 * p : 2.0 * p <= limit ? 2.0 * p : p;
}

void appendNorthArrow(std::string& svg, double x, double top)
{
    svg += "<g class=\"north-arrow\"><path d=\"M " + fixedText(x, 2) + " " + fixedText(top + 20.0, 2) + " L "
        + fixedText(x + 9.0, 2) + " " + fixedText(top + 54.0, 2) + " L " + fixedText(x, 2) + " "
        + fixedText(top + 46.0, 2) + " L " + fixedText(x - 9.0, 2) + " " + fixedText(top + 54.0, 2)
        + " Z\" fill=\"#000000\"/>";
    svg += "<text";
    appendNumber(svg, "x", x);
    appendNumber(svg, "y", top + 14.0);
    svg += " text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\">N</text></g>\n";
}

// A bar of a round length that fits SCALE_BAR_ROOM, half black, half white.
void appendScaleBar(std::string& svg, double left, double top, double metresPerUnit)
{
    const double metres = roundBelow(SCALE_BAR_ROOM * metresPerUnit);
    const double length = metres / metresPerUnit;
    svg += "<rect class=\"scale-bar\"";
    appendAttribute(svg, "data-metres", fixedText(metres, 6));
    appendNumber(svg, "x", left);
    appendNumber(svg, "y", top + 36.0);
    appendNumber(svg, "width", length);
    svg += " height=\"6\" fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"1\"/>\n<rect";
    appendNumber(svg, "x", left);
    appendNumber(svg, "y", top + 36.0);
    appendNumber(svg, "width", length / 2.0);
    svg += " height=\"6\" fill=\"#000000\"/>\n";
    appendText(svg, left, top + 30.0, "0", " text-anchor=\"middle\"");
    appendText(svg, left + length, top + 30.0, roundText(metres) + " m", " text-anchor=\"middle\"");
}

void appendOrientation(std::string& svg, const PlanLegend& legend, double left, double top)
{
    appendNorthArrow(svg, left + 16.0, top);
    appendScaleBar(svg, left + 48.0, top, legend.metresPerUnit);
}

// Beside the ramp: whether its top is fixed for the survey or follows this run.
void appendRmsBasis(std::string& svg, const PlanLegend& legend, double left, double top)
{
    const char* cls = " class=\"rms-basis\"";
    if (legend.noiseFloorMm > 0.0) {
        appendText(svg, left, top, "Fixed for the survey:", cls);
        appendText(svg, left, top + 14.0, "top \xE2\x89\xA5 6 \xC3\x97 noise floor", cls);
        appendText(svg, left, top + 28.0, "(noise floor " + fixedText(legend.noiseFloorMm, 2) + " mm);", cls);
        appendText(svg, left, top + 42.0, "a higher RMS has the top", cls);
        appendText(svg, left, top + 56.0, "colour and says its value", cls);
        return;
    }
    appendText(svg, left, top, "Scaled to this run", cls);
    appendText(svg, left, top + 14.0, "(noise floor not known)", cls);
}

void appendRms(std::string& svg, const PlanLegend& legend, double left, double top)
{
    const RoundScale& scale = legend.rmsScale;
    appendText(svg, left + 4.0, top + 11.0, "Pair RMS (mm)", " font-weight=\"bold\"");
    const double bottom = top + 20.0 + RAMP_HEIGHT;
    svg += "<rect class=\"rms-ramp\"";
    appendNumber(svg, "x", left + 4.0);
    appendNumber(svg, "y", top + 20.0);
    appendNumber(svg, "width", 16.0);
    appendNumber(svg, "height", RAMP_HEIGHT);
    svg += " fill=\"url(#rms-ramp)\" stroke=\"#000000\" stroke-width=\"0.5\"/>\n";
    for (int32_t k = 0; k <= scale.steps; ++k) {
        const double y = bottom - RAMP_HEIGHT * k / scale.steps;
        svg += "<line";
        appendNumber(svg, "x1", left + 20.0);
        appendNumber(svg, "y1", y);
        appendNumber(svg, "x2", left + 25.0);
        appendNumber(svg, "y2", y);
        svg += " stroke=\"#000000\" stroke-width=\"1\"/>\n";
        appendText(svg, left + 29.0, y + 4.0, fixedText(scale.top * k / scale.steps, scale.decimals),
                   " class=\"rms-tick\"");
    }
    appendRmsBasis(svg, legend, left + 72.0, top + 40.0);
}

void appendPairStates(std::string& svg, double left, double top)
{
    const PairState states[] = {PairState::Failed, PairState::NotTrusted, PairState::Rejected};
    const char* meaning[] = {"failed, or no valid RMS", "not trusted by its own figures", "rejected by the adjustment"};
    for (int k = 0; k < 3; ++k) {
        const double y = top + 8.0 + 20.0 * k;
        svg += "<line class=\"state-key\"";
        appendNumber(svg, "x1", left + 4.0);
        appendNumber(svg, "y1", y);
        appendNumber(svg, "x2", left + 34.0);
        appendNumber(svg, "y2", y);
        appendPairStroke(svg, states[k], "");
        svg += "/>\n";
        appendText(svg, left + 42.0, y + 4.0, meaning[k]);
    }
}

void appendCorrectionKey(std::string& svg, const PlanLegend& legend, double left, double top)
{
    appendTurnArrow(svg, {left + 19.0, top + 25.0}, HALF_TURN / 2.0);
    svg += "\n";
    appendText(svg, left + 42.0, top + 11.0, "Heading correction", " font-weight=\"bold\"");
    appendText(svg, left + 42.0, top + 25.0, "counter-clockwise positive;");
    appendText(svg, left + 42.0, top + 39.0,
               "a half turn of arc is " + fixedText(legend.correctionScale.top, legend.correctionScale.decimals)
                   + "\xC2\xB0");
    if (legend.sigmaShown)
        appendText(svg, left + 42.0, top + 53.0, "\xC2\xB1 its standard error");
}

void appendCounts(std::string& svg, const PlanLegend& legend, double left, double top)
{
    // "set-ups 6" rather than "6 set-ups": no plural to get wrong for one.
    appendText(svg, left + 4.0, top + 11.0,
               "set-ups " + std::to_string(legend.setupsShown) + ", pairs " + std::to_string(legend.pairsShown)
                   + ", failed " + std::to_string(legend.pairsFailed));
    appendText(svg, left + 4.0, top + 25.0,
               "not trusted " + std::to_string(legend.pairsNotTrusted) + ", rejected "
                   + std::to_string(legend.pairsRejected));
    if (legend.setupsLeftOut > 0 || legend.pairsLeftOut > 0)
        appendText(svg, left + 4.0, top + 39.0,
                   "not drawn: set-ups " + std::to_string(legend.setupsLeftOut) + ", pairs "
                       + std::to_string(legend.pairsLeftOut));
    appendText(svg, left + 4.0, top + 61.0, "Map corners, E and N in metres:");
    appendText(svg, left + 4.0, top + 77.0, "SW " + fixedText(legend.west, 2) + ", " + fixedText(legend.south, 2));
    appendText(svg, left + 4.0, top + 93.0, "NE " + fixedText(legend.east, 2) + ", " + fixedText(legend.north, 2));
}

void appendBlock(std::string& svg, Block block, const PlanLegend& legend, double left, double top)
{
    switch (block) {
    case Block::Orientation:
        appendOrientation(svg, legend, left, top);
        break;
    case Block::Rms:
        appendRms(svg, legend, left, top);
        break;
    case Block::PairStates:
        appendPairStates(svg, left, top);
        break;
    case Block::Correction:
        appendCorrectionKey(svg, legend, left, top);
        break;
    default:
        appendCounts(svg, legend, left, top);
    }
}

}  // namespace

LegendSize legendSize(bool below)
{
    LegendSize size;
    for (const std::vector<Block>& column : legendColumns(below)) {
        size.width += (size.width > 0.0 ? COLUMN_GAP : 0.0) + BLOCK_WIDTH;
        size.height = std::max(size.height, columnHeight(column));
    }
    return size;
}

void appendLegend(std::string& svg, const PlanLegend& legend, double left, double top, bool below)
{
    svg += "<g class=\"legend\">\n";
    double x = left;
    for (const std::vector<Block>& column : legendColumns(below)) {
        double y = top;
        for (Block block : column) {
            appendBlock(svg, block, legend, x, y);
            y += blockHeight(block) + BLOCK_GAP;
        }
        x += BLOCK_WIDTH + COLUMN_GAP;
    }
    svg += "</g>\n";
}
